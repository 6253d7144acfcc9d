#include "afxfile.h"

#include "afxwin.h"
#include "platform/seams.h"
#include "res/resource.h"


namespace {

std::string SystemReason(LONG error)
{
    char* text = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text), 0,
                               nullptr);
    std::string reason;
    if (n != 0 && text != nullptr) {
        reason.assign(text, n);
        while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n'))
            reason.pop_back();
    }
    if (text != nullptr)
        ::LocalFree(text);
    if (reason.empty())
        reason = "error " + std::to_string(error);
    return reason;
}

// Replaces the first "%1" and "%2" of a framework text.
std::string Format2(std::string text, const std::string& a1, const std::string& a2)
{
    size_t p = text.find("%1");
    if (p != std::string::npos)
        text.replace(p, 2, a1);
    p = text.find("%2", p == std::string::npos ? 0 : p + a1.size());
    if (p != std::string::npos)
        text.replace(p, 2, a2);
    return text;
}

}  // namespace

std::string CFileException::GetErrorMessage() const
{
    return Format2(AfxLoadString(AFX_IDP_FILE_WRITE_ERROR), m_strFileName, SystemReason(m_lOsError));
}

int CFileException::ReportError() const { return AfxMessageBox(GetErrorMessage(), MB_OK | MB_ICONSTOP); }

CFile::~CFile() { Abort(); }

void CFile::Write(const void* data, DWORD count)
{
    DWORD written = 0;
    if (!seams::writeFile(m_hFile, data, count, &written, nullptr))
        throw CFileException(static_cast<LONG>(::GetLastError()), m_strFileName);
    if (written != count)
        throw CFileException(ERROR_DISK_FULL, m_strFileName);
}

void CFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    HANDLE h = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(h))
        throw CFileException(static_cast<LONG>(::GetLastError()), m_strFileName);
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

void CFile::Attach(HANDLE handle, const std::string& path)
{
    Abort();
    m_hFile = handle;
    m_strFileName = path;
}

void CFile::Discard()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    FILE_DISPOSITION_INFO dispose = {TRUE};
    ::SetFileInformationByHandle(m_hFile, FileDispositionInfo, &dispose, sizeof dispose);
    Abort();
}

CFileFind::~CFileFind() { Close(); }

BOOL CFileFind::FindFile(const std::string& pattern)
{
    Close();
    char full[MAX_PATH];
    char* namePart = nullptr;
    DWORD n = ::GetFullPathNameA(pattern.c_str(), MAX_PATH, full, &namePart);
    if (n == 0 || n >= MAX_PATH) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    m_hFind = ::FindFirstFileA(full, &m_pending);
    if (m_hFind == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hasPending = true;

    // The root: the absolute pattern up to its last separator, found character by
    // character so that a trail byte 0x5C is not taken for one.
    std::string abs(full);
    size_t cut = std::string::npos;
    for (size_t i = 0; i < abs.size();) {
        unsigned char c = static_cast<unsigned char>(abs[i]);
        if (c == '\\' || c == '/')
            cut = i;
        i += (::IsDBCSLeadByte(c) && i + 1 < abs.size()) ? 2 : 1;
    }
    m_strRoot = cut == std::string::npos ? std::string() : abs.substr(0, cut);
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (m_hFind == INVALID_HANDLE_VALUE || !m_hasPending)
        return FALSE;
    m_current = m_pending;
    m_hasCurrent = true;
    m_hasPending = ::FindNextFileA(m_hFind, &m_pending) != FALSE;
    return m_hasPending ? TRUE : FALSE;
}

void CFileFind::Close()
{
    if (m_hFind != INVALID_HANDLE_VALUE)
        ::FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
    m_hasPending = false;
    m_hasCurrent = false;
}

std::string CFileFind::GetFileName() const { return m_hasCurrent ? std::string(m_current.cFileName) : std::string(); }

std::string CFileFind::GetFilePath() const
{
    std::string s = m_strRoot;
    if (s.empty() || (s.back() != '\\' && s.back() != '/'))
        s += m_chDirSeparator;
    return s + GetFileName();
}

BOOL CFileFind::MatchesMask(DWORD mask) const
{
    return m_hasCurrent && (m_current.dwFileAttributes & mask) != 0 ? TRUE : FALSE;
}

BOOL CFileFind::IsDots() const
{
    if (!m_hasCurrent || !(m_current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return FALSE;
    const char* n = m_current.cFileName;
    return (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) ? TRUE : FALSE;
}
