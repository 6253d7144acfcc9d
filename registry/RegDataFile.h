// The embedded registry data file: its bytes, and the copy written to the temporary folder.
#pragma once

#include <string>

// The "REGDATA_FILE" resource 129 of this executable, byte for byte; empty when it cannot
// be found or loaded. The removal pass reads these bytes, never the written copy.
std::string LoadRegData();

// Writes the resource byte for byte to the temporary folder as "VnQRXReg.dat" and returns
// its path; the empty string when no file could be written. Whatever was at that path
// before, a link included, is replaced as a whole: a link's target is never opened,
// changed or deleted. A failed write raises CFileException (naming that path), after
// removing the partly written file.
std::string ExtractRegDataFile();
