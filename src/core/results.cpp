#include "core/results.h"

namespace kesto {

std::optional<BandChoice> parseBandChoice(const QString&, QString* error)
{
    if (error)
        *error = QStringLiteral("not yet");
    return std::nullopt;
}

QString bandChoiceText(const BandChoice&) { return QString(); }
QString bandChoiceLabel(const BandChoice&) { return QString(); }

std::optional<ResultReference> parseResultReference(const QString&, QString*) { return std::nullopt; }
QString resultReferenceText(const ResultReference&) { return QString(); }
QString spreadText(Spread spread) { return spread == Spread::SD ? QStringLiteral("sd") : QStringLiteral("sem"); }
std::optional<Spread> parseSpread(const QString&, QString*) { return std::nullopt; }

Results computeResults(const SampleTable&, const std::vector<LaneBands>&, const ResultOptions&)
{
    throw ResultsError(QStringLiteral("not yet"));
}

QList<QStringList> resultLaneTable(const Results&, bool) { return {}; }
QList<QStringList> resultGroupTable(const Results&, bool) { return {}; }

} // namespace kesto
