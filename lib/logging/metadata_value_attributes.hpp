#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <vector>

namespace logging {

/// A type of attribute: a value with a 64-bit raw value that can be made again from it (making
/// may fail for raw values the type does not know). A set holds at most one value per type.
template <class A>
concept Attribute = std::copyable<A> && requires(const A& attribute, std::int64_t raw) {
    { attribute.rawValue() } -> std::convertible_to<std::int64_t>;
    { A::fromRawValue(raw) } -> std::same_as<std::optional<A>>;
};

/// The identity of an attribute type.
class AttributeKey {
public:
    template <Attribute A>
    static AttributeKey of() noexcept {
        return AttributeKey(&tag<A>);
    }

    bool operator==(const AttributeKey&) const = default;

private:
    template <class A>
    static constexpr char tag = 0;

    explicit AttributeKey(const void* identity) noexcept : identity_(identity) {}

    const void* identity_;
};

/// Small typed facts attached to a metadata value, one per attribute type. The first lives
/// inline; only a second one allocates. Spelled `Logger::MetadataValueAttributes`.
class MetadataValueAttributes {
public:
    struct Entry {
        AttributeKey key;
        std::int64_t value;
        bool operator==(const Entry&) const = default;
    };

    MetadataValueAttributes() = default;

    /// The given attributes inserted in order, so a later value of one type replaces an earlier.
    // The set itself is ruled out before Attribute is asked: clang 16 would otherwise check
    // Attribute<MetadataValueAttributes> while checking a copy, which depends on itself.
    template <class... A>
        requires(sizeof...(A) > 0) && (!std::same_as<A, MetadataValueAttributes> && ...) && (Attribute<A> && ...)
    explicit MetadataValueAttributes(const A&... attributes) {
        (set(attributes), ...);
    }

    /// The attribute of type A, or nothing when absent or its raw value is not accepted.
    template <Attribute A>
    std::optional<A> get() const {
        const Entry* entry = find(AttributeKey::of<A>());
        if (!entry) return std::nullopt;
        return A::fromRawValue(entry->value);
    }

    /// Inserts the attribute, replacing any of the same type where it is stored.
    template <Attribute A>
    void set(const A& attribute) {
        insert(AttributeKey::of<A>(), static_cast<std::int64_t>(attribute.rawValue()));
    }

    /// Sets the attribute of type A, or removes it when `attribute` is absent.
    template <Attribute A>
    void set(const std::optional<A>& attribute) {
        if (attribute) {
            set(*attribute);
        } else {
            remove<A>();
        }
    }

    template <Attribute A>
    void remove() {
        remove(AttributeKey::of<A>());
    }

    void insert(AttributeKey key, std::int64_t value);
    void remove(AttributeKey key);

    /// Inserts every entry of `other`, its inline entry first; `other`'s values win.
    void merge(const MetadataValueAttributes& other);

    std::size_t size() const noexcept;
    bool empty() const noexcept { return !inline_; }

    /// Where the entries live: the first inline, the rest in the overflow list, which is absent
    /// rather than empty.
    const std::optional<Entry>& inlineEntry() const noexcept { return inline_; }
    const std::optional<std::vector<Entry>>& overflow() const noexcept { return overflow_; }

    /// Equal when both hold the same entries, wherever each is stored.
    bool operator==(const MetadataValueAttributes& other) const;

private:
    const Entry* find(AttributeKey key) const noexcept;

    std::optional<Entry> inline_;
    std::optional<std::vector<Entry>> overflow_;
};

}  // namespace logging
