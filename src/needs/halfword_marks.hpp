// One mark per halfword of a ROM, kept in pages made on the first mark within them:
// the code an analysis reaches is a small part of most ROMs, and a full bitmap of a
// 32 MiB ROM would be 2 MiB to clear (and page in) for every file judged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tagwright {

class HalfwordMarks {
  public:
    HalfwordMarks() = default;
    explicit HalfwordMarks(std::size_t count) : count_(count), pages_((count >> kPageShift) + 1) {}

    std::size_t size() const { return count_; }
    bool operator[](std::size_t i) const {
        const Page* page = i < count_ ? pages_[i >> kPageShift].get() : nullptr;
        return page != nullptr && ((*page)[(i & kPageMask) >> 6] >> (i & 63) & 1) != 0;
    }
    void set(std::size_t i) {
        if (i >= count_) {
            return;
        }
        std::unique_ptr<Page>& page = pages_[i >> kPageShift];
        if (!page) {
            page = std::make_unique<Page>();  // zeroed
        }
        (*page)[(i & kPageMask) >> 6] |= std::uint64_t{1} << (i & 63);
    }

  private:
    static constexpr std::size_t kPageShift = 15;  // 32768 marks, 4 KiB, a page of 64 KiB of ROM
    static constexpr std::size_t kPageMask = (std::size_t{1} << kPageShift) - 1;
    using Page = std::array<std::uint64_t, (std::size_t{1} << kPageShift) / 64>;

    std::size_t count_ = 0;
    std::vector<std::unique_ptr<Page>> pages_;
};

}  // namespace tagwright
