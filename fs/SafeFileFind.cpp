#include "fs/SafeFileFind.h"

#include "fs/PathUtil.h"

std::string CSafeFileFind::GetFilePath() const
{
    std::string s = m_strRoot;
    const unsigned int n = static_cast<unsigned int>(s.size());
    // A root ending in a double-byte character with trail byte 0x5C (C:\...ソ) looks
    // like one ending in a separator to a byte test; joining without one would name
    // an entry of the parent folder.
    if (IsTrailByteAt(s.c_str(), n - 1))
        s += m_chDirSeparator;
    else if (s.empty() || (s.back() != '\\' && s.back() != '/'))
        s += m_chDirSeparator;
    return s + GetFileName();
}
