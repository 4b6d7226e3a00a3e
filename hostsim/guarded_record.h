// Host records the module writes into (RayRecord, Matrix4d, InterfaceRecord, the callback
// tables, ...), allocated with guard bytes before and after so that a write outside the record
// is caught: the guards are checked on request and when the record is freed, and damage is
// reported as a violation of the current SimHost.
//
//   hostsim::GuardedRecord<RayRecord> ray("RayRecord");
//   evaluate(instance, 0.1, 0.2, 0.0, 0.0, 0.5, ray.get());
//   EXPECT_TRUE(ray.guardsIntact());
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>

namespace hostsim {

// Guard bytes on each side of a record.
inline constexpr std::size_t kGuardSize = 64;
inline constexpr unsigned char kGuardByte = 0xA5;

// Untyped guarded bytes; GuardedRecord gives them a type.
class GuardedBlock {
  public:
    // size bytes, each set to fill, between two guards.
    GuardedBlock(std::string name, std::size_t size, unsigned char fill = 0);
    ~GuardedBlock(); // checks the guards one last time
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    void* data() { return start() + kGuardSize; }
    const void* data() const { return start() + kGuardSize; }
    std::size_t size() const { return size_; }

    bool guardsIntact() const { return damage().empty(); }
    // "" when intact, else which guard was hit and where, e.g. "3 bytes after RayRecord
    // overwritten, first at offset +0".
    std::string damage() const;
    // Reports damage (once per block) to the current host's violations; true when intact.
    bool check();

  private:
    unsigned char* start() { return reinterpret_cast<unsigned char*>(storage_.get()); }
    const unsigned char* start() const {
        return reinterpret_cast<const unsigned char*>(storage_.get());
    }

    std::string name_;
    std::size_t size_;
    std::unique_ptr<std::max_align_t[]> storage_;
    bool reported_ = false;
};

// count records of type T (plain host records only), zero-filled unless another fill byte is
// given (e.g. 0xCD, to see which bytes the module left alone).
template <class T> class GuardedRecord {
    static_assert(std::is_trivially_copyable_v<T> && std::is_standard_layout_v<T>,
                  "host records are plain data");

  public:
    explicit GuardedRecord(std::string name = "record", std::size_t count = 1,
                           unsigned char fill = 0)
        : block_(std::move(name), sizeof(T) * count, fill) {}

    T* get() { return static_cast<T*>(block_.data()); }
    const T* get() const { return static_cast<const T*>(block_.data()); }
    T* operator->() { return get(); }
    T& operator*() { return *get(); }
    T& operator[](std::size_t index) { return get()[index]; }

    bool guardsIntact() const { return block_.guardsIntact(); }
    std::string damage() const { return block_.damage(); }
    bool check() { return block_.check(); }

  private:
    GuardedBlock block_;
};

} // namespace hostsim
