#pragma once
#include <QWidget>
namespace kesto {
class frmScan : public QWidget
{
    Q_OBJECT
public:
    explicit frmScan(QWidget* parent = nullptr) : QWidget(parent) {}
};
} // namespace kesto
