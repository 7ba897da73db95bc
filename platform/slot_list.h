#pragma once
// SlotList: a list that is refilled on every collection without allocating. Cleared slots keep
// their storage (strings included) and are handed out again, so once the list has reached its
// size, refilling it with the same entries costs no allocation.

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace quel {

template <typename T>
class SlotList {
public:
    void Clear() { size_ = 0; }
    // The next slot; it still holds an earlier entry's values, which the caller overwrites.
    T& Append()
    {
        if (size_ == slots_.size())
            slots_.emplace_back();
        return slots_[size_++];
    }
    void DropLast() { --size_; }
    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    std::span<T> Items() { return {slots_.data(), size_}; }
    std::span<const T> Items() const { return {slots_.data(), size_}; }
    T* begin() { return slots_.data(); }
    T* end() { return slots_.data() + size_; }
    const T* begin() const { return slots_.data(); }
    const T* end() const { return slots_.data() + size_; }
    void Swap(SlotList& other) noexcept
    {
        slots_.swap(other.slots_);
        std::swap(size_, other.size_);
    }

private:
    std::vector<T> slots_;
    std::size_t size_ = 0;
};

// The entry of list whose name is name; a fresh one (all else default) appended when there is
// none, which sets added.
template <typename T, typename Name>
T& FindOrAppendNamed(SlotList<T>& list, Name name, bool& added)
{
    for (T& item : list) {
        if (item.name == name) {
            added = false;
            return item;
        }
    }
    added = true;
    T& item = list.Append();
    item = T{};
    item.name.assign(name);
    return item;
}

} // namespace quel
