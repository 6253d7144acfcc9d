#include "TestSupport.h"

#include <vector>

namespace {
std::string Convert(const std::string& text, UINT from, UINT to)
{
    if (text.empty())
        return text;
    int wide = ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<wchar_t> w(static_cast<size_t>(wide));
    ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
    int bytes = ::WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(to, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
}
}  // namespace

std::string Sjis(const std::string& utf8) { return Convert(utf8, CP_UTF8, 932); }
std::string Utf8(const std::string& sjis) { return Convert(sjis, 932, CP_UTF8); }

std::wstring Wide(const std::string& ansi)
{
    int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &w[0], n);
    return w;
}

std::string Ansi(const std::wstring& wide)
{
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &s[0], n, nullptr, nullptr);
    return s;
}

PageEndBuffer::PageEndBuffer(size_t size, char fill)
{
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t pages = (size + page - 1) / page + 1;
    char* base = static_cast<char*>(::VirtualAlloc(nullptr, pages * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    m_base = base;
    DWORD old = 0;
    if (base == nullptr || !::VirtualProtect(base + (pages - 1) * page, page, PAGE_NOACCESS, &old))
        return;   // data() stays null
    m_data = base + (pages - 1) * page - size;
    for (size_t i = 0; i < size; ++i)
        m_data[i] = fill;
}

PageEndBuffer::~PageEndBuffer()
{
    if (m_base != nullptr)
        ::VirtualFree(m_base, 0, MEM_RELEASE);
}
