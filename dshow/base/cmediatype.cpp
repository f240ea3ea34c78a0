// An AM_MEDIA_TYPE that owns its format block and copies it deeply.
#include "dshow/base/cmediatype.h"

#include <objbase.h>

#include <cstring>

#include "dshow/base/mediatypes.h"

static_assert(sizeof(CMediaType) == sizeof(AM_MEDIA_TYPE),
              "pins read an AM_MEDIA_TYPE* as a CMediaType*");

CMediaType::CMediaType() : AM_MEDIA_TYPE{} {
  InitMediaType();
}

CMediaType::CMediaType(const GUID* majorType) : AM_MEDIA_TYPE{} {
  InitMediaType();
  majortype = *majorType;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other, HRESULT* phr) : AM_MEDIA_TYPE{} {
  const HRESULT hr = CopyMediaType(this, &other);
  if (phr) *phr = hr;
}

CMediaType::CMediaType(const CMediaType& other, HRESULT* phr) : AM_MEDIA_TYPE{} {
  const HRESULT hr = CopyMediaType(this, &other);
  if (phr) *phr = hr;
}

CMediaType::~CMediaType() {
  FreeMediaType(*this);
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other) {
  Set(other);
  return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
  Set(other);
  return *this;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& other) {
  if (&other == this) return S_OK;
  FreeMediaType(*this);
  return CopyMediaType(this, &other);
}

bool CMediaType::operator==(const CMediaType& other) const {
  return IsEqualGUID(majortype, other.majortype) && IsEqualGUID(subtype, other.subtype) &&
         IsEqualGUID(formattype, other.formattype) && cbFormat == other.cbFormat &&
         (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

BOOL CMediaType::IsValid() const {
  return !IsEqualGUID(majortype, GUID_NULL);
}

void CMediaType::SetSampleSize(ULONG size) {
  lSampleSize = size;
  bFixedSizeSamples = size != 0;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  if (length == 0) return nullptr;
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!block) return nullptr;
  std::memset(block, 0, length);
  if (pbFormat) CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

BOOL CMediaType::SetFormat(const BYTE* format, ULONG length) {
  if (!format || length == 0) return FALSE;
  BYTE* block = AllocFormatBuffer(length);
  if (!block) return FALSE;
  std::memcpy(block, format, length);
  return TRUE;
}

void CMediaType::ResetFormatBuffer() {
  if (pbFormat) CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
}

void CMediaType::InitMediaType() {
  FreeMediaType(*this);
  majortype = GUID_NULL;
  subtype = GUID_NULL;
  formattype = GUID_NULL;
  bFixedSizeSamples = TRUE;
  bTemporalCompression = FALSE;
  lSampleSize = 1;
}

BOOL CMediaType::IsPartiallySpecified() const {
  return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(subtype, GUID_NULL) ||
         IsEqualGUID(formattype, GUID_NULL);
}

BOOL CMediaType::MatchesPartial(const CMediaType* partial) const {
  if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(majortype, partial->majortype))
    return FALSE;
  if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(subtype, partial->subtype))
    return FALSE;
  if (!IsEqualGUID(partial->formattype, GUID_NULL)) {
    if (!IsEqualGUID(formattype, partial->formattype)) return FALSE;
    if (cbFormat != partial->cbFormat) return FALSE;
    if (cbFormat && std::memcmp(pbFormat, partial->pbFormat, cbFormat) != 0) return FALSE;
  }
  return TRUE;
}
