// File services of the framework: a file that raises CFileException when writing
// fails, and the directory finder that folder removal builds on.
#pragma once

#include <windows.h>
#include <string>

// Raised by CFile when a write or a close fails. The dialog's window procedure catches
// it and reports it (ReportError); the tool's own code lets it pass.
class CFileException {
public:
    CFileException(LONG osError, std::string fileName) : m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    // The framework's file-error text: the file and the system's reason.
    std::string GetErrorMessage() const;
    // Shows that text with the stop icon, captioned with the application name.
    int ReportError() const;

    LONG m_lOsError;
    std::string m_strFileName;
};

class CFile {
public:
    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();   // closes without raising

    // Takes over `handle`, a file opened elsewhere, named `path` in what is reported.
    void Attach(HANDLE handle, const std::string& path);
    // Raises CFileException unless all `count` bytes were written.
    void Write(const void* data, DWORD count);
    // Raises CFileException when closing fails.
    void Close();
    // Closes without raising.
    void Abort();
    // Deletes the file through the open handle, then closes it (the handle must carry the
    // right to delete). Deleting by path after closing could hit
    // whatever another program has put at the path meanwhile.
    void Discard();
    // The open handle (INVALID_HANDLE_VALUE when closed).
    operator HANDLE() const { return m_hFile; }


private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::string m_strFileName;
};

// Directory lister by first/next over FindFirstFileA. FindFile leaves the first entry
// pending; each FindNextFile makes the pending entry current and answers whether another
// one is pending, so "do { more = FindNextFile(); use current; } while (more)" visits
// every entry, the last one included.
class CFileFind {
public:
    CFileFind() = default;
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;
    virtual ~CFileFind();

    // Starts a listing for `pattern`. 0 when nothing matches, the folder cannot be read
    // (the reason stays in the last-error code) or the absolute pattern does not fit in
    // MAX_PATH.
    virtual BOOL FindFile(const std::string& pattern);
    virtual BOOL FindNextFile();
    virtual void Close();

    virtual std::string GetFileName() const;
    virtual std::string GetFilePath() const;
    virtual BOOL MatchesMask(DWORD mask) const;
    virtual BOOL IsDots() const;

    // Attribute bits of the current entry, as listed.
    DWORD GetAttributes() const { return m_current.dwFileAttributes; }
    // The folder of the listing: the absolute pattern cut before its last separator.
    const std::string& GetRoot() const { return m_strRoot; }

protected:
    std::string m_strRoot;
    char m_chDirSeparator = '\\';

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_pending = {};
    WIN32_FIND_DATAA m_current = {};
    bool m_hasPending = false;
    bool m_hasCurrent = false;
};
