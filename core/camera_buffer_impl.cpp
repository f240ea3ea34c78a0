// Raw buffer lists: every move happens under one lock so a record is always on exactly one list
// or held by exactly one thread.
#include "core/camera_buffer_impl.h"

#include <atomic>
#include <mutex>
#include <new>

namespace {

std::atomic<RawBufferAllocator> allocator_{nullptr};

void freeRawBuffer(uint8_t* buffer) {
  if (buffer) ::operator delete(buffer, std::align_val_t(kRawBufferAlignment));
}

std::vector<RawBufferRecord*> walk(RawBufferRecord* head) {
  std::vector<RawBufferRecord*> list;
  for (RawBufferRecord* r = head; r != nullptr && list.size() <= CameraBufferImpl::kRecordCount;
       r = r->next)
    list.push_back(r);
  return list;
}

}  // namespace

void* AllocateRawBufferDefault(size_t bytes) {
  return ::operator new(bytes, std::align_val_t(kRawBufferAlignment), std::nothrow);
}

void SetRawBufferAllocator(RawBufferAllocator allocator) {
  allocator_.store(allocator);
}

CameraBufferImpl::CameraBufferImpl(uint32_t rawBytes) : rawBytes_(rawBytes) {
  RawBufferAllocator allocate = allocator_.load();
  if (allocate == nullptr) allocate = AllocateRawBufferDefault;
  for (RawBufferRecord& r : records_) {
    r.buffer = static_cast<uint8_t*>(allocate(rawBytes_));
    if (r.buffer == nullptr) break;  // valid() reports it; the destructor frees the others
  }
  resetLists();
}

CameraBufferImpl::~CameraBufferImpl() {
  for (RawBufferRecord& r : records_) freeRawBuffer(r.buffer);
}

bool CameraBufferImpl::valid() const {
  for (const RawBufferRecord& r : records_)
    if (r.buffer == nullptr) return false;
  return freeEvent_.valid() && readyEvent_.valid();
}

void CameraBufferImpl::resetLists() {
  std::lock_guard<platform::Mutex> guard(lock_);
  readyHead_ = nullptr;
  freeHead_ = &records_[0];
  for (size_t i = 0; i < kRecordCount; ++i) {
    RawBufferRecord& r = records_[i];
    r.next = i + 1 < kRecordCount ? &records_[i + 1] : nullptr;
    r.format = kRawFormatNone;
    r.roi = SensorRect{};
    r.fullFrame = SensorRect{};
    r.data = r.buffer;
  }
}

RawBufferRecord* CameraBufferImpl::popReady() {
  std::lock_guard<platform::Mutex> guard(lock_);
  RawBufferRecord* r = readyHead_;
  if (r) {
    readyHead_ = r->next;
    r->next = nullptr;
  }
  return r;
}

void CameraBufferImpl::pushFreeLocked(RawBufferRecord* record) {
  record->next = freeHead_;
  freeHead_ = record;
}

void CameraBufferImpl::pushFree(RawBufferRecord* record) {
  if (record == nullptr) return;
  {
    std::lock_guard<platform::Mutex> guard(lock_);
    pushFreeLocked(record);
  }
  freeEvent_.set();
}

void CameraBufferImpl::pushFreeQuiet(RawBufferRecord* record) {
  if (record == nullptr) return;
  std::lock_guard<platform::Mutex> guard(lock_);
  pushFreeLocked(record);
}

RawBufferRecord* CameraBufferImpl::popFree() {
  std::lock_guard<platform::Mutex> guard(lock_);
  RawBufferRecord* r = freeHead_;
  if (r) {
    freeHead_ = r->next;
    r->next = nullptr;
  }
  return r;
}

void CameraBufferImpl::appendReady(RawBufferRecord* record) {
  if (record == nullptr) return;
  std::lock_guard<platform::Mutex> guard(lock_);
  record->next = nullptr;
  RawBufferRecord** tail = &readyHead_;
  while (*tail) tail = &(*tail)->next;
  *tail = record;
}

std::vector<RawBufferRecord*> CameraBufferImpl::freeList() {
  std::lock_guard<platform::Mutex> guard(lock_);
  return walk(freeHead_);
}

std::vector<RawBufferRecord*> CameraBufferImpl::readyList() {
  std::lock_guard<platform::Mutex> guard(lock_);
  return walk(readyHead_);
}
