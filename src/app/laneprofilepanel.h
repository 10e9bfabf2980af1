#pragma once

// The lane-profile panel (docked in the main window): plotting the frame's profile (the channel's
// mean across the frame at each row or column), the background level as a line and the area between
// them shaded. Hovering shows a position's value; the profile can be copied as tab-separated text
// and saved as a PNG or SVG picture.

#include "core/laneprofile.h"
#include "core/lanequant.h"

#include <QWidget>

#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

class QChart;
class QChartView;
class QLineSeries;
class QAreaSeries;
class QValueAxis;

namespace kesto {

class LaneProfilePanel : public QWidget
{
    Q_OBJECT
public:
    explicit LaneProfilePanel(QWidget* parent = nullptr);
    ~LaneProfilePanel() override;

    // Along rows unless the switch is on.
    ProfileDirection direction() const;
    void setDirection(ProfileDirection direction);

    void setProfile(const LaneProfile& profile);
    // The whole lane the frame lies in: its profile, its baseline and each band's
    // boundaries, with the bands' volumes and the lane's total below the plot.
    void setLane(const LaneMeasure& measure, const std::vector<BandBounds>& bounds,
                 const QString& name);
    const LaneProfile& profile() const { return m_profile; }
    // Shown instead of a profile that could not be made; the old plot is cleared.
    void showMessage(const QString& text);

    // The plot's series: the profile, the background line and the shaded area.
    QLineSeries* profileSeries() const { return m_profileLine; }
    QLineSeries* backgroundSeries() const { return m_backgroundLine; }
    // The bands' boundaries, as drop lines from the profile to the baseline.
    QLineSeries* boundarySeries() const { return m_boundaries; }
    QAreaSeries* areaSeries() const { return m_area; }
    QChartView* chartView() const { return m_view; }
    QLabel* valueLabel() const { return m_value; }
    QLabel* areaLabel() const { return m_areaText; }

    // "Row 12: 143.5" for the value nearest to x on the plot.
    QString valueText(double x) const;
    // Copies the profile as tab-separated text.
    void copyProfile();
    // Asks for a path and saves the plot there: SVG for a ".svg" name, PNG otherwise.
    void saveProfile();
    // The plot as a picture of the view's size.
    QImage plotImage() const;

    // The boundaries shown, and the position x of a boundary within a few pixels of the
    // view's point: its band and whether it is the band's end; band -1 for none.
    const std::vector<BandBounds>& bounds() const { return m_bounds; }
    std::pair<int, bool> boundaryNear(const QPoint& viewPoint) const;
    // The profile's position along under a point of the view, and the view's point at the
    // foot of a position along.
    int positionAt(const QPoint& viewPoint) const;
    QPoint viewPointAt(int position) const;

Q_SIGNALS:
    // The person dragged a band's boundary (its start, or its end) to a position along.
    void boundaryDragged(int band, bool end, int position);
    void directionChanged();

protected:
    // Dragging a boundary on the plot.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void writePlot(const QString& path);
    void drawBoundaries(const std::vector<BandBounds>& bounds);
    QPointF viewPointOf(double x, double y) const;

    LaneProfile m_profile;
    LaneMeasure m_measure;            // the lane shown, when one is
    std::vector<BandBounds> m_bounds; // its bands' boundaries
    int m_dragBand = -1;
    bool m_dragEnd = false;
    QCheckBox* m_columns = nullptr;
    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QLineSeries* m_profileLine = nullptr;
    QLineSeries* m_backgroundLine = nullptr;
    QLineSeries* m_boundaries = nullptr;
    QLineSeries* m_areaUpper = nullptr;
    QLineSeries* m_areaLower = nullptr;
    QAreaSeries* m_area = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    QLabel* m_value = nullptr;
    QLabel* m_areaText = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace kesto
