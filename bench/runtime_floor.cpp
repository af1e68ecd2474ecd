// What the launcher asks of the C++ runtime, and nothing else: a locale
// with Boost's UTF-8 facet converting text, a number read by lexical_cast,
// a class's name, an exception thrown and caught, bounded wide
// formatting and a once-only initialisation, with the launcher's terminate
// handler on Windows. Linked as the launcher is, its size is the floor below
// which no launcher on this runtime can go.
#define BOOST_UTF8_BEGIN_NAMESPACE namespace floor_detail {
#define BOOST_UTF8_END_NAMESPACE }
#define BOOST_UTF8_DECL
#include <boost/detail/utf8_codecvt_facet.hpp>
#include <boost/detail/utf8_codecvt_facet.ipp>

#include <boost/lexical_cast.hpp>

#include <cwchar>
#include <locale>
#include <mutex>
#include <stdexcept>
#include <string>
#include <typeinfo>

int main(int argc, char** argv)
{
    static std::once_flag once;
    std::call_once(once, [] {});
    static const std::locale locale(std::locale::classic(), new floor_detail::utf8_codecvt_facet);
    const auto& facet = std::use_facet<std::codecvt<wchar_t, char, std::mbstate_t>>(locale);

    const std::string narrow(argv[0]);
    std::wstring wide(narrow.size(), L'\0');
    std::mbstate_t state{};
    const char* nextIn = nullptr;
    wchar_t* nextOut = nullptr;
    facet.in(state, narrow.data(), narrow.data() + narrow.size(), nextIn, wide.data(), wide.data() + wide.size(),
             nextOut);

    int number = 0;
    try {
        number = boost::lexical_cast<int>(argc > 1 ? argv[1] : "7");
        if (number < 0)
            throw std::runtime_error(typeid(facet).name());
    } catch (const std::exception& failure) {
        number = int(std::string(failure.what()).size());
    }
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%d %ls", number, wide.c_str());
    return buffer[0] == L'0';
}
