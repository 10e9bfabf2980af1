#include "components/worksheet.h"

namespace kesto {

struct Worksheet::Private
{
};

Worksheet::Worksheet(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>()) {}

Worksheet::~Worksheet() = default;

} // namespace kesto
