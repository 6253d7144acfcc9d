// The directory finder of every listing in folder removal.
#pragma once

#include "platform/afxfile.h"

// CFileFind whose GetFilePath joins root and name correctly when the root ends in a
// double-byte character whose trail byte is 0x5C.
class CSafeFileFind : public CFileFind {
public:
    ~CSafeFileFind() override = default;
    std::string GetFilePath() const override;
};
