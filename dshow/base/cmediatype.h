// An AM_MEDIA_TYPE that owns its format block and copies it deeply.
#pragma once

#include <windows.h>
#include <strmif.h>

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  explicit CMediaType(const GUID* majorType);
  // A copy that fails for lack of memory is left without format (and *phr says so).
  CMediaType(const AM_MEDIA_TYPE& other, HRESULT* phr = nullptr);
  CMediaType(const CMediaType& other, HRESULT* phr = nullptr);
  ~CMediaType();

  CMediaType& operator=(const AM_MEDIA_TYPE& other);
  CMediaType& operator=(const CMediaType& other);
  // Same major type, subtype, format type and format bytes.
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }

  HRESULT Set(const AM_MEDIA_TYPE& other);
  BOOL IsValid() const;

  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  void SetType(const GUID* type) { majortype = *type; }
  void SetSubtype(const GUID* type) { subtype = *type; }
  void SetFormatType(const GUID* type) { formattype = *type; }
  void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }
  // Fixed-size samples of this many bytes; 0 means variable-size samples.
  void SetSampleSize(ULONG size);
  ULONG GetSampleSize() const { return lSampleSize; }

  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  // A zero-filled format block of this size, replacing the old one; null when memory runs out.
  BYTE* AllocFormatBuffer(ULONG length);
  BOOL SetFormat(const BYTE* format, ULONG length);
  void ResetFormatBuffer();
  // Back to an empty type: no major type, no format.
  void InitMediaType();

  // A type with a wildcard (GUID_NULL) major type, subtype or format type.
  BOOL IsPartiallySpecified() const;
  // Equal wherever partial is not a wildcard.
  BOOL MatchesPartial(const CMediaType* partial) const;
};
