#include "core/decoderwarnings.h"

#include <tiffio.h>

namespace kesto {

void silenceDecoderWarnings()
{
    TIFFSetWarningHandler(nullptr);
}

bool decoderWarningsSilenced()
{
    // libtiff offers no getter: swap the handler out and back to read it.
    const TIFFErrorHandler current = TIFFSetWarningHandler(nullptr);
    TIFFSetWarningHandler(current);
    return current == nullptr;
}

} // namespace kesto
