#pragma once

// Picture decoders' own chatter. libtiff prints a warning on standard error for every
// private tag of a gel imager's TIFF ("Unknown field with tag ..."), at every read;
// standard error is kept for the program's own messages.

namespace kesto {

// Drops libtiff's warnings, process-wide (Qt's TIFF plugin uses the same libtiff).
// Its errors still make a read fail, and that failure is reported as usual.
void silenceDecoderWarnings();

// True once libtiff's warnings go nowhere.
bool decoderWarningsSilenced();

} // namespace kesto
