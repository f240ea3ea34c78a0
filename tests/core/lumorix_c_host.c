/* A C host of the interface family: every method called by name through lpVtbl, compiled as C. */
#include <stdint.h>
#include <string.h>

#include "core/lumorix.h"

/* The option codes are plain C constants; the largest does not fit an int. */
_Static_assert(LUMORIX_OPTION_BLACKLEVEL_RAW == 0x80000015u, "option codes are unsigned");

void* zxRecorderInterface(unsigned iface);
int zxRecorderCheckLast(unsigned iface, const char* name, const uint64_t* args, unsigned count,
                        uint32_t result);
int zxRunCHost(void);

/* Applies m to each of up to four comma-separated items; the method list has no more. */
#define ZX_FE_0(m)
#define ZX_FE_1(m, a) m(a)
#define ZX_FE_2(m, a, ...) m(a) ZX_FE_1(m, __VA_ARGS__)
#define ZX_FE_3(m, a, ...) m(a) ZX_FE_2(m, __VA_ARGS__)
#define ZX_FE_4(m, a, ...) m(a) ZX_FE_3(m, __VA_ARGS__)
#define ZX_FE_PICK(_0, _1, _2, _3, _4, N, ...) N
#define ZX_FOR_EACH(m, ...)                                                              \
  ZX_FE_PICK(_0 __VA_OPT__(, ) __VA_ARGS__, ZX_FE_4, ZX_FE_3, ZX_FE_2, ZX_FE_1, ZX_FE_0) \
  (m __VA_OPT__(, ) __VA_ARGS__)
#define ZX_FOR_EACH_IN(m, ...) ZX_FOR_EACH(m, __VA_ARGS__)
#define ZX_FOR_EACH_P(m, list) ZX_FOR_EACH_IN(m, LUMORIX_UNPAREN list)

/* Arguments live in a struct built from the parameter declarations, filled with a byte pattern
   through a union, so each gets a distinct value of exactly its declared type. */
static void fillPattern(unsigned char* bytes, size_t size, unsigned seed) {
  for (size_t i = 0; i < size; ++i) bytes[i] = (unsigned char)(((seed * 7u + i) & 0x3Fu) | 0x01u);
}

#define ZX_C_MEMBER(decl) decl;
#define ZX_C_ARG(x) , u_.a.x
#define ZX_C_EXPECT(x)                         \
  {                                            \
    __typeof__(((void)0, u_.a.x)) v_ = u_.a.x; \
    memcpy(&expect_[n_], &v_, sizeof v_);      \
    ++n_;                                      \
  }
#define ZX_C_CALL(I, kind, name, params, args)                                 \
  {                                                                            \
    union {                                                                    \
      struct {                                                                 \
        char pad_;                                                             \
        ZX_FOR_EACH_P(ZX_C_MEMBER, params)                                     \
      } a;                                                                     \
      unsigned char bytes[96];                                                 \
    } u_;                                                                      \
    uint64_t expect_[4] = {0, 0, 0, 0};                                        \
    unsigned n_ = 0;                                                           \
    LUMORIX_RESULT_##kind r_;                                                  \
    fillPattern(u_.bytes, sizeof u_.bytes, ++seed);                            \
    ZX_FOR_EACH_P(ZX_C_EXPECT, args)                                           \
    r_ = self->lpVtbl->name(self ZX_FOR_EACH_P(ZX_C_ARG, args));               \
    failures += !zxRecorderCheckLast(iface, #name, expect_, n_, (uint32_t)r_); \
  }
#define ZX_C_INTERFACE(Name, ...)                    \
  {                                                  \
    Name* self = (Name*)zxRecorderInterface(iface);  \
    LUMORIX_METHODS_##Name(ZX_C_CALL, Name)++ iface; \
  }

int zxRunCHost(void) {
  unsigned iface = 0;
  unsigned seed = 0;
  int failures = 0;
  LUMORIX_INTERFACES(ZX_C_INTERFACE)
  return failures;
}
