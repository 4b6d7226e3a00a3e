// The bytes of a host record before a callback, to see afterwards whether the callback wrote
// into a record it should only read (or leave alone when it fails).
#pragma once

#include <cstring>

namespace vellary_fuzz {

template <class Record> class RecordSnapshot {
  public:
    explicit RecordSnapshot(const Record& record) { std::memcpy(bytes_, &record, sizeof(Record)); }
    bool unchanged(const Record& record) const {
        return std::memcmp(bytes_, &record, sizeof(Record)) == 0;
    }

  private:
    unsigned char bytes_[sizeof(Record)];
};

} // namespace vellary_fuzz
