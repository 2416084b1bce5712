#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include <ext/atomicity.h>

#include "mcp/base/value.hpp"

namespace mcp::detail {

// The heap blocks a Value points at. Each starts with its reference count, so one release serves
// them all; the Value's tag tells which one it is.

/// An array: its element count, then exactly that many elements in the same allocation.
struct ArrayBlock {
    _Atomic_word references = 1;
    std::uint32_t size = 0;

    Value* elements() noexcept { return reinterpret_cast<Value*>(this + 1); }
    const Value* elements() const noexcept { return reinterpret_cast<const Value*>(this + 1); }

    /// A block with room for `size` elements, none of them made yet. Throws std::length_error
    /// past the count's range, std::bad_alloc without memory.
    static ArrayBlock* allocate(std::size_t size);
    /// Frees a block whose first `made` elements exist.
    static void destroy(ArrayBlock* block, std::size_t made) noexcept;
};

static_assert(sizeof(ArrayBlock) % alignof(Value) == 0, "elements follow the header directly");

/// A string too long to be held inline: its length, then its characters.
struct StringBlock {
    _Atomic_word references = 1;
    std::size_t size = 0;

    char* characters() noexcept { return reinterpret_cast<char*>(this + 1); }
    const char* characters() const noexcept { return reinterpret_cast<const char*>(this + 1); }
};

/// An object or data payload, kept whole.
template <class T>
struct Boxed {
    _Atomic_word references = 1;
    T value;
};

}  // namespace mcp::detail
