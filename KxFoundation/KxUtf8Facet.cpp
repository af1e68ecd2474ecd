#define BOOST_UTF8_BEGIN_NAMESPACE namespace Kavo { namespace detail {
#define BOOST_UTF8_END_NAMESPACE } }
#define BOOST_UTF8_DECL
#include <boost/detail/utf8_codecvt_facet.ipp>
