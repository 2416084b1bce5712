#pragma once

#include <cstddef>
#include <span>

#include "mcp/base/detail/value_blocks.hpp"
#include "mcp/base/value.hpp"

namespace mcp::detail {

/// An array Value made in its final block, element by element, when its size is known in advance:
/// no element is ever held twice. Confined to one thread.
class ArrayAssembly {
public:
    /// Room for exactly `size` elements. Throws std::length_error or std::bad_alloc.
    explicit ArrayAssembly(std::size_t size);
    ArrayAssembly(ArrayAssembly&& other) noexcept;
    ArrayAssembly& operator=(ArrayAssembly&&) = delete;
    ~ArrayAssembly();

    std::size_t size() const noexcept { return made_; }
    std::size_t capacity() const noexcept { return block_ ? block_->size : 0; }

    /// Adds the next element. Throws std::logic_error when the array is already full.
    void append(Value element);
    /// The array, once every element is in. Throws std::logic_error when some are missing.
    Value finish() &&;

    /// Whether the two arrays hold the same elements in the same representation: equal scalars and
    /// short strings byte for byte, and the very same blocks. Enough to share one for the other.
    static bool sameElements(std::span<const Value> a, std::span<const Value> b) noexcept;
    /// A hash of the elements' representation, alike for arrays whose elements are the same.
    static std::size_t elementsHash(std::span<const Value> elements) noexcept;

private:
    ArrayBlock* block_ = nullptr;
    std::size_t made_ = 0;
};

}  // namespace mcp::detail
