#pragma once

#include <boost/json/value.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

/// Random JSON documents for round-trip tests: arrays and objects up to a depth, filled with the
/// scalars the test makes and with member names built from its text pieces.
class RandomJson {
public:
    struct Options {
        /// A text is a run of up to `maxPieces` of these.
        std::vector<std::string> pieces;
        int maxPieces = 12;
        /// One text in this many gets 5000 more bytes; 0 for never.
        int longTextOneIn = 0;
        /// How many ways `scalar` has: of as many draws plus three, three make a container.
        int scalarKinds = 7;
        /// Makes a scalar (or a text) of the given kind, below `scalarKinds`.
        std::function<boost::json::value(RandomJson&, int kind)> scalar;
    };

    RandomJson(std::uint64_t seed, Options options) : random_(seed), options_(std::move(options)) {}

    boost::json::value make(int depth) {
        const int kinds = options_.scalarKinds + (depth > 0 ? 3 : 0);
        const int kind = pick(kinds);
        if (kind < options_.scalarKinds) return options_.scalar(*this, kind);
        if (kind == options_.scalarKinds) {
            boost::json::object o;
            for (int i = pick(5); i > 0; --i) o[text()] = make(depth - 1);
            return o;
        }
        boost::json::array a;
        for (int i = pick(5); i > 0; --i) a.push_back(make(depth - 1));
        return a;
    }

    int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }

    std::uint64_t bits() { return random_(); }

    /// Any finite double, from random bits.
    double finiteDouble() {
        for (;;) {
            std::uint64_t raw = random_();
            double d;
            std::memcpy(&d, &raw, sizeof d);
            if (std::isfinite(d)) return d;
        }
    }

    /// A finite double with a fraction: a whole one reads back as an integer.
    double fraction() {
        for (;;) {
            double d = finiteDouble();
            if (std::trunc(d) != d) return d;
        }
    }

    std::string text() {
        std::string s;
        for (int i = pick(options_.maxPieces); i > 0; --i) s += options_.pieces[pick(static_cast<int>(options_.pieces.size()))];
        if (options_.longTextOneIn > 0 && pick(options_.longTextOneIn) == 0) s += std::string(5000, 'x');
        return s;
    }

private:
    std::mt19937_64 random_;
    Options options_;
};

}  // namespace testing_support
