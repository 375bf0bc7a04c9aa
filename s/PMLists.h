// Device, package and speed lists: shared, lazily built name lists cached for the life of the
// process, the iterator that walks them, and the caches that hand them out.
#ifndef PMLIB_S_PMLISTS_H
#define PMLIB_S_PMLISTS_H

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>

#include <pmlib/pmspec.h>
#include <pmport/port_string.h>
#include <pmport/port_thread.h>

class PMSpecImp;
class PMPicImp;

namespace PersonalityModule {

class Validator;

using NameVector = std::vector<Port::StringBase<char>>;
using NameVectorPtr = boost::shared_ptr<NameVector>;

// Makes the empty part implementation through which a list is built; the implementation's kind
// decides which validator the build asks (a configuration part picks the configuration rules).
using TemporaryPartMaker = std::function<std::unique_ptr<PMPicImp>(PM_PARTNAME_BINDING)>;

// Makes a plain part implementation (PMPicImp).
std::unique_ptr<PMPicImp> MakePlainPart(PM_PARTNAME_BINDING binding);

// The names of a built list, walked by pointer.
struct NameRange {
  const Port::StringBase<char>* first = nullptr;
  const Port::StringBase<char>* last = nullptr;
  const Port::StringBase<char>* begin() const { return first; }
  const Port::StringBase<char>* end() const { return last; }
  std::size_t size() const { return static_cast<std::size_t>(last - first); }
};

// A device of a device list with its package and speed lists, all built.
struct DeviceLists {
  const Port::StringBase<char>* device;
  NameRange packages;
  NameRange speeds;
};
using DeviceListsTable = std::vector<DeviceLists>;

class BaseList;

// Builds `list` unless it is built, under the process-wide list build mutex, so that a list is
// built exactly once however many threads want it at the same time.
void EnsureBuilt(BaseList& list);

// A list of names, filled once by build() and never changed afterwards.
class BaseList : public boost::enable_shared_from_this<BaseList> {
 public:
  BaseList();
  virtual ~BaseList();
  BaseList(const BaseList&) = delete;
  BaseList& operator=(const BaseList&) = delete;

  // Fills `items` once; later calls do nothing. The base has nothing to fill.
  virtual void build();

  bool isbuilt() const { return built.load(std::memory_order_acquire); }
  // The names; empty pointer until built.
  const NameVectorPtr& names() const { return items; }
  // The names, built first when they are not.
  NameRange range();

  // For a device list: each device with its package and speed lists, made once by `make` (which
  // may build lists and so read files) and then kept with the list. Enumerating devices,
  // packages and speeds thus asks for each device's lists once per process, not by name at every
  // walk.
  const DeviceListsTable& devicelists(const std::function<DeviceListsTable()>& make);

 protected:
  using Source = std::function<NameVectorPtr(Validator&)>;

  // The build of every list: a temporary part made by `maker` is set to `pm` (and `device` when
  // not empty), `source` asks its validator for the names, and the list is marked built. Without
  // a validator (the module could not be set) the list stays empty.
  void BuildThroughPart(const TemporaryPartMaker& maker, PM_PARTNAME_BINDING binding,
                        const Port::StringBase<char>& pm, const Port::StringBase<char>& device,
                        const Source& source);

  std::atomic<bool> built;
  NameVectorPtr items;

 private:
  // The device table once made; set once, under tableMutex_, and never changed afterwards.
  std::atomic<const DeviceListsTable*> table_{nullptr};
  std::unique_ptr<const DeviceListsTable> ownedTable_;
  Port_ThrMutex tableMutex_;
};

// The devices of a module as its validator lists them for checking (an unsupported module's list).
class DeviceList : public BaseList {
 public:
  explicit DeviceList(const Port::StringBase<char>& pmName,
                      TemporaryPartMaker maker = MakePlainPart);
  void build() override;

 protected:
  Port::StringBase<char> pm;

 private:
  TemporaryPartMaker maker_;
};

// The devices of a module as its validator lists them for menus (a supported module's list).
class NS_DeviceList : public BaseList {
 public:
  explicit NS_DeviceList(const Port::StringBase<char>& pmName,
                         TemporaryPartMaker maker = MakePlainPart);
  void build() override;

 protected:
  Port::StringBase<char> pm;

 private:
  TemporaryPartMaker maker_;
};

// The CF_ lists are those of configuration parts: `configurationMaker` makes the configuration
// part implementation whose validator the build asks.
class CF_DeviceList : public DeviceList {
 public:
  CF_DeviceList(const Port::StringBase<char>& pmName, TemporaryPartMaker configurationMaker);
};

class CF_NS_DeviceList : public NS_DeviceList {
 public:
  CF_NS_DeviceList(const Port::StringBase<char>& pmName, TemporaryPartMaker configurationMaker);
};

// The packages of one device.
class PkgList : public BaseList {
 public:
  PkgList(const Port::StringBase<char>& pmName, const Port::StringBase<char>& deviceName,
          bool unsupportedAllowed, TemporaryPartMaker maker = MakePlainPart);
  void build() override;

 protected:
  Port::StringBase<char> pm;
  Port::StringBase<char> device;
  bool binding;

 private:
  TemporaryPartMaker maker_;
};

class CF_PkgList : public PkgList {
 public:
  CF_PkgList(const Port::StringBase<char>& pmName, const Port::StringBase<char>& deviceName,
             TemporaryPartMaker configurationMaker);
};

// The speed grades of one device, with the two speed flags of its speed file.
class SpdList : public BaseList {
 public:
  SpdList(const Port::StringBase<char>& pmName, const Port::StringBase<char>& deviceName,
          TemporaryPartMaker maker = MakePlainPart);
  void build() override;

  // Meaningful once the list is built.
  bool minspdflag() const { return minspd; }
  bool spd411flag() const { return spd411; }

 protected:
  Port::StringBase<char> pm;
  Port::StringBase<char> device;
  bool minspd;
  bool spd411;

 private:
  TemporaryPartMaker maker_;
};

class CF_SpdList : public SpdList {
 public:
  CF_SpdList(const Port::StringBase<char>& pmName, const Port::StringBase<char>& deviceName,
             TemporaryPartMaker configurationMaker);
};

// Walks a list. It is positioned (and the list built) lazily, at its first use. It does not own
// the list, which must outlive it: the lists of the caches below live for the whole process, so
// handing out an iterator costs no reference count.
class ListIterator {
 public:
  enum Where { Begin, End };

  // An iterator over no list: an empty range.
  ListIterator() : ListIterator(nullptr, Begin) {}
  ListIterator(BaseList& over, Where where) : ListIterator(&over, where) {}

  // The name at the current position.
  const Port::StringBase<char>& operator*() const {
    EnsurePositioned();
    return *current;
  }
  const Port::StringBase<char>* operator->() const { return &**this; }
  ListIterator& operator++() {
    EnsurePositioned();
    if (current != last) ++current;
    at_end = current == last;
    return *this;
  }
  ListIterator operator++(int);
  // Equal when both are at the end, else when both stand at the same position.
  bool operator==(const ListIterator& other) const {
    if (at_end && other.at_end) return true;
    EnsurePositioned();
    other.EnsurePositioned();
    return current - first == other.current - other.first;
  }
  bool operator!=(const ListIterator& other) const { return !(*this == other); }

 private:
  ListIterator(BaseList* over, Where where)
      : first(nullptr),
        current(nullptr),
        last(nullptr),
        positioned(false),
        at_end(where == End),
        list(over) {}

  // Everything is inline but the build of a list not yet built: a walk of a device's packages
  // and speeds is a few names long, and calls into the library for every step cost more than
  // the step.
  void EnsurePositioned() const {
    if (!positioned) Position();
  }
  void Position() const {
    if (list && !list->isbuilt()) EnsureBuilt(*list);
    if (list && list->names()) {
      first = list->names()->data();
      last = first + list->names()->size();
    }
    current = at_end ? last : first;
    positioned = true;
  }

  // The list's names, once positioned.
  mutable const Port::StringBase<char>* first;
  mutable const Port::StringBase<char>* current;
  mutable const Port::StringBase<char>* last;
  mutable bool positioned;
  mutable bool at_end;
  BaseList* list;
};

// The process-wide caches. Each returns the list cached under its key, creating an unbuilt one
// through the part implementation's factory on a miss; nothing is built and no file is read while
// the cache is locked. Lists never leave the caches: a reference stays valid for the whole process.
BaseList& DeviceListOf(const PMSpecImp& part);
BaseList& PackageListOf(const PMSpecImp& part, const Port::StringBase<char>& device);
BaseList& SpeedListOf(const PMSpecImp& part, const Port::StringBase<char>& device);

// The same lists, shared.
boost::shared_ptr<BaseList> GetDeviceList(const PMSpecImp& part);
boost::shared_ptr<BaseList> GetPackageList(const PMSpecImp& part,
                                           const Port::StringBase<char>& device);
boost::shared_ptr<BaseList> GetSpeedList(const PMSpecImp& part,
                                         const Port::StringBase<char>& device);

}  // namespace PersonalityModule

#endif  // PMLIB_S_PMLISTS_H
