// The embedded registry data file, written out for the profile reader.
#pragma once

#include <string>

// Writes the "REGDATA_FILE" resource 129 byte for byte to the temporary folder as
// "VnQRXReg.dat" and returns its path; the empty string when no file could be written.
// A failed write raises CFileException, after removing the partly written file.
std::string ExtractRegDataFile();
