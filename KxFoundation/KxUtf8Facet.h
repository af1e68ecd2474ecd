#ifndef KAVO_KXUTF8FACET_H
#define KAVO_KXUTF8FACET_H

// Boost's UTF-8 code conversion facet, compiled once into this library
// under the library's own namespace.
#define BOOST_UTF8_BEGIN_NAMESPACE namespace Kavo { namespace detail {
#define BOOST_UTF8_END_NAMESPACE } }
#define BOOST_UTF8_DECL
#include <boost/detail/utf8_codecvt_facet.hpp>
#undef BOOST_UTF8_BEGIN_NAMESPACE
#undef BOOST_UTF8_END_NAMESPACE
#undef BOOST_UTF8_DECL

#endif
