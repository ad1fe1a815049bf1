// Numbers distinct keys in the order they are first seen, in one open-addressed table.
#pragma once

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

namespace ivo {

// Key needs ==; Hash gives any 64-bit value (it is mixed again here, so that neighbouring
// coordinates spread over the table). Meshes have hundreds of thousands of corners and edges:
// one flat table with linear probing avoids a node allocation per key.
template <class Key, class Hash>
class FirstSeenIndex {
public:
    explicit FirstSeenIndex(std::size_t expected = 0) {
        keys_.reserve(expected);
        slots_.assign(std::bit_ceil(2 * expected + 16), kEmpty);
    }

    // The key's number (0, 1, 2 … by first appearance) and whether it is new.
    std::pair<std::uint32_t, bool> insert(const Key& key) {
        if (2 * (keys_.size() + 1) > slots_.size()) grow();
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = mix(Hash{}(key)) & mask;; i = (i + 1) & mask) {
            const std::uint32_t s = slots_[i];
            if (s == kEmpty) {
                slots_[i] = static_cast<std::uint32_t>(keys_.size());
                keys_.push_back(key);
                return {slots_[i], true};
            }
            if (keys_[s] == key) return {s, false};
        }
    }

    // The key's number, or kEmpty when it was never inserted.
    std::uint32_t find(const Key& key) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = mix(Hash{}(key)) & mask;; i = (i + 1) & mask) {
            const std::uint32_t s = slots_[i];
            if (s == kEmpty || keys_[s] == key) return s;
        }
    }

    std::size_t size() const { return keys_.size(); }
    const Key& key(std::uint32_t i) const { return keys_[i]; }

    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

private:
    static std::size_t mix(std::uint64_t h) {
        h ^= h >> 30;
        h *= 0xBF58476D1CE4E5B9u;
        h ^= h >> 27;
        h *= 0x94D049BB133111EBu;
        return static_cast<std::size_t>(h ^ (h >> 31));
    }

    void grow() {
        slots_.assign(2 * slots_.size(), kEmpty);
        const std::size_t mask = slots_.size() - 1;
        for (std::uint32_t k = 0; k < keys_.size(); ++k) {
            std::size_t i = mix(Hash{}(keys_[k])) & mask;
            while (slots_[i] != kEmpty)
                i = (i + 1) & mask;
            slots_[i] = k;
        }
    }

    std::vector<Key> keys_;
    std::vector<std::uint32_t> slots_;
};

}  // namespace ivo
