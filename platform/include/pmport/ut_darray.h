// Dynamic arrays of C-string element pointers.
#ifndef PMPORT_UT_DARRAY_H
#define PMPORT_UT_DARRAY_H

#include <pmport/export.h>

#include <vector>

// The operations of a dynamic array, in their fixed virtual order. Positions are 0-based; the
// elements are pointers to NUL-terminated strings, ordered by byte comparison (strcmp) where an
// order is needed.
class PMPORT_API UT_BASE_ARRAY {
 public:
  using ElementCompare = int (*)(const char* a, const char* b);

  // Releases the storage; size 0.
  virtual void clearmem() = 0;
  // Sorts the elements with `compare` (strcmp when null); null elements sort first.
  virtual void qsort(ElementCompare compare) = 0;
  // Opens `count` null slots at `index` when `count` is positive, removes -count elements from
  // `index` when it is negative. Out-of-range requests are clipped to the array.
  virtual void a_shift(int index, int count) = 0;
  // Sorts the elements by byte comparison.
  virtual void a_sort() = 0;
  // Inserts `element` into the sorted array after the elements that do not sort after it;
  // returns its position.
  virtual int a_sortadd(char* element) = 0;
  // The position of an element equal to `key` in the sorted array, or -1.
  virtual int a_bsearch(const char* key) const = 0;
  // Sets the size to `count` (negative counts as 0); new slots are null.
  virtual void a_resetnum(int count) = 0;
  // `index` when it names an element, else -1.
  virtual int intgetindex(int index) const = 0;
  // Makes room for `capacity` elements without changing the size.
  virtual void a_makearray(int capacity) = 0;
  // Defined in the library (the class's key function), so that its vtable is emitted there once
  // whatever the compiler or optimisation level.
  virtual ~UT_BASE_ARRAY();
  // The address of slot `index`, or null when it names no element.
  virtual char** getaddr(int index) = 0;
  // Makes room for at least `capacity` elements; returns whether the room is there.
  virtual bool reserve(int capacity) = 0;

 protected:
  UT_BASE_ARRAY() = default;
  UT_BASE_ARRAY(const UT_BASE_ARRAY&) = delete;
  UT_BASE_ARRAY& operator=(const UT_BASE_ARRAY&) = delete;
};

// A dynamic array of element pointers. A derived class keeps a `char**` field and hands its
// address to the constructor; that field always points at the first slot (null while there is
// no storage), so the derived class may index it directly. The field must have no initialiser
// of its own: it would run after this constructor and overwrite what it set. The array never owns
// the strings its elements point to.
//
// Slots are pointer-sized whatever `elementSize` says: the size is recorded for callers that ask
// for it (older callers pass 4 for a pointer), so element pointers always fit.
class PMPORT_API UT_DARRAY : public UT_BASE_ARRAY {
 public:
  // An array of `count` null elements. `flag` is kept for the caller (getflag()).
  UT_DARRAY(char*** storage, int elementSize, int count, int flag);
  ~UT_DARRAY() override;

  void clearmem() override;
  void qsort(ElementCompare compare) override;
  void a_shift(int index, int count) override;
  void a_sort() override;
  int a_sortadd(char* element) override;
  int a_bsearch(const char* key) const override;
  void a_resetnum(int count) override;
  int intgetindex(int index) const override;
  void a_makearray(int capacity) override;
  char** getaddr(int index) override;
  bool reserve(int capacity) override;

  int size() const { return static_cast<int>(elements_.size()); }
  int getelemsize() const { return elementSize_; }
  int getflag() const { return flag_; }
  char* operator[](int index) const { return elements_[static_cast<std::size_t>(index)]; }
  // Appends `element`; returns its position.
  int append(char* element);

 private:
  void Publish();  // points the derived class's field at the current storage

  std::vector<char*> elements_;
  char*** storage_;
  int elementSize_;
  int flag_;
};

#endif  // PMPORT_UT_DARRAY_H
