#pragma once

// Western blots drawn with their truth, to test results against: groups of replicate lanes
// side by side, each lane loaded with its own amount of protein (a share of the average,
// known), a target band whose amount is the group's times the lane's loading, a
// housekeeping band following the loading alone, and a picture of the same membrane's
// total-protein stain whose lanes follow the loading too. Dark bands on a light background,
// 8 bits, a little noise.

#include <QImage>
#include <QList>
#include <QRect>
#include <QStringList>

#include <vector>

namespace kesto::test {

struct SyntheticBlotLayout
{
    QStringList groups{QStringLiteral("control"), QStringLiteral("treated"),
                       QStringLiteral("inhibited")};
    std::vector<double> amounts{1.0, 2.0, 0.5}; // the target per unit of loading, per group
    int replicates = 3;
    // Each lane's loading as a share of the average; lanes in group order, replicates side
    // by side. Within +-30 %.
    std::vector<double> loading{1.0, 1.3, 0.7, 1.15, 0.85, 1.25, 0.75, 1.05, 0.95};
    int saturatedControlLane = -1; // this lane's (from 0) housekeeping band is overloaded
    double noise = 0.004;          // standard deviation, in parts of the full scale
    quint32 seed = 7;
};

struct SyntheticBlot
{
    QImage picture;                   // target and housekeeping bands
    QImage stain;                     // the total-protein stain of the same membrane
    QList<QRect> lanes;               // each lane's columns from top to bottom, on both pictures
    std::vector<double> loading;      // per lane, as laid out
    std::vector<double> targetAmount; // per lane: its group's amount (the truth once normalized)
    QStringList groups;               // per lane
    // The sample table's text for the lanes (LANE SAMPLE GROUP REPLICATE ROLE).
    QString sampleText;
};

SyntheticBlot makeSyntheticBlot(const SyntheticBlotLayout& layout);

} // namespace kesto::test
