#include "mcp/server/list_tools.hpp"

#include <boost/json/object.hpp>

#include "mcp/base/detail/page_coding.hpp"
#include "mcp/base/hashing.hpp"
#include "platform/json/codec.hpp"

namespace mcp {

boost::json::value ListTools::Result::toJSON() const {
    return detail::writePage("tools", tools, nextCursor, meta);
}

ListTools::Result ListTools::Result::fromJSON(const boost::json::value& json) {
    return detail::readPage<Result, Tool>(json, "tools");
}

}  // namespace mcp

std::size_t std::hash<mcp::ListTools::Result>::operator()(const mcp::ListTools::Result& result) const noexcept {
    return mcp::hashValues(result.tools, result.nextCursor, result.meta);
}
