#include "components/commondialog.h"

#include "components/prompts.h"

namespace kesto {

QStringList CommonDialog::qtNameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        result.append(parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

void CommonDialog::ShowOpen()
{
    m_fileName = Prompts::current().openFileName(m_owner, m_title, m_fileName,
                                                 qtNameFilters(m_filter), m_filterIndex - 1);
}

} // namespace kesto
