// Sorting records by a fact the shell knows of their labels, then by label. The records are put
// in label order first, over a compact array of label keys (LabelKey) and positions, not over
// the records; the facts, which come in label order too, are then met in one pass beside them,
// and a stable sort by the fact's key keeps label order among equal keys. No name is looked up
// in a hash table and few labels are read more than once, so a large desktop sorts without a
// cache miss per comparison.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "organizers/snapshot.h"

namespace organizers::sorting {

// A label as numbers that compare as the label does, code unit by code unit: its first twelve code
// units, four to a number with the first in the highest bits and zeros past its end, and its
// length. Two labels whose keys differ compare as their keys do; equal keys of labels of at most
// twelve code units are equal labels; only longer labels with equal keys need the labels read.
struct LabelKey {
    std::uint64_t units[3];
    std::size_t length;

    explicit LabelKey(std::u16string_view label) : units{}, length(label.size()) {
        for (std::size_t i = 0; i < 12; ++i)
            units[i / 4] = (units[i / 4] << 16) | (i < label.size() ? label[i] : 0u);
    }
    // Negative, zero or positive as a comes before, with or after b.
    static int compare(const LabelKey& a, std::u16string_view labelA, const LabelKey& b,
                       std::u16string_view labelB) {
        for (int i = 0; i < 3; ++i)
            if (a.units[i] != b.units[i])
                return a.units[i] < b.units[i] ? -1 : 1;
        if (a.length <= 12 && b.length <= 12)
            return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
        return labelA.compare(labelB); // char16_t is unsigned: code-unit order
    }
};

// Reorders icons by keyOf(the fact of its label, or null when the shell has none), keyFirst
// telling whether one key comes before another, and among equal keys by label in code-unit
// order. facts is in label order, one entry per label.
template <class Fact, class KeyOf, class KeyFirst>
void sortByFactThenLabel(std::vector<IconRecord>& icons,
                         const desktop_access::FactsByName<Fact>& facts, KeyOf keyOf,
                         KeyFirst keyFirst) {
    using Key = decltype(keyOf(static_cast<const Fact*>(nullptr)));
    struct Entry {
        LabelKey label;
        std::u16string_view text;
        std::size_t index;
        Key key;
    };
    // Each pass below reads every label, or every record, once, in an order the memory does not
    // follow: the ones a few steps ahead are asked for early, so the waits overlap.
    constexpr std::size_t ahead = 8;
    std::vector<Entry> entries;
    entries.reserve(icons.size());
    for (std::size_t i = 0; i < icons.size(); ++i) {
        if (i + ahead < icons.size())
            __builtin_prefetch(icons[i + ahead].name.data());
        const std::u16string_view label = icons[i].name;
        entries.push_back({LabelKey(label), label, i, Key{}});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return LabelKey::compare(a.label, a.text, b.label, b.text) < 0;
    });
    auto fact = facts.begin();
    std::optional<LabelKey> factKey;
    for (Entry& entry : entries) {
        for (; fact != facts.end(); ++fact, factKey.reset()) {
            if (!factKey)
                factKey.emplace(fact->first);
            if (LabelKey::compare(*factKey, fact->first, entry.label, entry.text) >= 0)
                break;
        }
        const bool known = fact != facts.end() &&
                           LabelKey::compare(*factKey, fact->first, entry.label, entry.text) == 0;
        entry.key = keyOf(known ? &fact->second : nullptr);
    }
    // The order by key, label order (the entries' order) among equal keys: a key of two values
    // parts the entries, any other is sorted over pairs of the key and the entry's place, which
    // are small, rather than over the entries.
    std::vector<std::pair<Key, std::size_t>> byKey;
    byKey.reserve(entries.size());
    for (std::size_t place = 0; place < entries.size(); ++place)
        byKey.emplace_back(entries[place].key, place);
    if constexpr (std::is_same_v<Key, bool>) {
        std::stable_partition(byKey.begin(), byKey.end(),
                              [&](const auto& a) { return keyFirst(a.first, !a.first); });
    } else {
        std::sort(byKey.begin(), byKey.end(), [&](const auto& a, const auto& b) {
            if (keyFirst(a.first, b.first))
                return true;
            if (keyFirst(b.first, a.first))
                return false;
            return a.second < b.second;
        });
    }
    // Every allocation happens before the first record is moved, so running out of memory
    // leaves the records whole.
    std::vector<IconRecord> sorted;
    sorted.reserve(icons.size());
    for (std::size_t i = 0; i < byKey.size(); ++i) {
        if (i + ahead < byKey.size())
            __builtin_prefetch(&icons[entries[byKey[i + ahead].second].index]);
        sorted.push_back(std::move(icons[entries[byKey[i].second].index]));
    }
    icons.swap(sorted);
}

} // namespace organizers::sorting
