// Dynamic arrays of C-string element pointers.
#include "pmport/ut_darray.h"

#include <algorithm>
#include <cstring>

namespace {

// Byte order with null elements first.
int CompareElements(UT_BASE_ARRAY::ElementCompare compare, const char* a, const char* b) {
  if (!a || !b) return (a != nullptr) - (b != nullptr);
  return compare(a, b);
}

int ByteCompare(const char* a, const char* b) { return std::strcmp(a, b); }

bool ByteLess(const char* a, const char* b) { return CompareElements(ByteCompare, a, b) < 0; }

}  // namespace

UT_BASE_ARRAY::~UT_BASE_ARRAY() = default;

UT_DARRAY::UT_DARRAY(char*** storage, int elementSize, int count, int flag)
    : elements_(static_cast<std::size_t>(std::max(count, 0)), nullptr),
      storage_(storage),
      elementSize_(elementSize),
      flag_(flag) {
  Publish();
}

UT_DARRAY::~UT_DARRAY() {
  if (storage_) *storage_ = nullptr;
}

void UT_DARRAY::Publish() {
  if (storage_)
    *storage_ = elements_.empty() && elements_.capacity() == 0 ? nullptr : elements_.data();
}

void UT_DARRAY::clearmem() {
  std::vector<char*>().swap(elements_);
  Publish();
}

void UT_DARRAY::qsort(ElementCompare compare) {
  const ElementCompare order = compare ? compare : ByteCompare;
  std::stable_sort(elements_.begin(), elements_.end(), [order](const char* a, const char* b) {
    return CompareElements(order, a, b) < 0;
  });
}

void UT_DARRAY::a_shift(int index, int count) {
  const std::size_t at = std::min(static_cast<std::size_t>(std::max(index, 0)), elements_.size());
  if (count > 0) {
    elements_.insert(elements_.begin() + static_cast<std::ptrdiff_t>(at),
                     static_cast<std::size_t>(count), nullptr);
  } else if (count < 0) {
    const std::size_t removed =
        std::min(static_cast<std::size_t>(-static_cast<long>(count)), elements_.size() - at);
    const auto first = elements_.begin() + static_cast<std::ptrdiff_t>(at);
    elements_.erase(first, first + static_cast<std::ptrdiff_t>(removed));
  }
  Publish();
}

void UT_DARRAY::a_sort() { qsort(ByteCompare); }

int UT_DARRAY::a_sortadd(char* element) {
  const auto position = std::upper_bound(elements_.begin(), elements_.end(), element, ByteLess);
  const auto inserted = elements_.insert(position, element);
  Publish();
  return static_cast<int>(inserted - elements_.begin());
}

int UT_DARRAY::a_bsearch(const char* key) const {
  const auto position = std::lower_bound(elements_.begin(), elements_.end(), key, ByteLess);
  if (position == elements_.end() || ByteLess(key, *position)) return -1;
  return static_cast<int>(position - elements_.begin());
}

void UT_DARRAY::a_resetnum(int count) {
  elements_.resize(static_cast<std::size_t>(std::max(count, 0)), nullptr);
  Publish();
}

int UT_DARRAY::intgetindex(int index) const { return index >= 0 && index < size() ? index : -1; }

void UT_DARRAY::a_makearray(int capacity) { reserve(capacity); }

char** UT_DARRAY::getaddr(int index) {
  const int checked = intgetindex(index);
  return checked < 0 ? nullptr : &elements_[static_cast<std::size_t>(checked)];
}

bool UT_DARRAY::reserve(int capacity) {
  if (capacity > 0) elements_.reserve(static_cast<std::size_t>(capacity));
  Publish();
  return elements_.capacity() >= static_cast<std::size_t>(std::max(capacity, 0));
}

int UT_DARRAY::append(char* element) {
  elements_.push_back(element);
  Publish();
  return size() - 1;
}
