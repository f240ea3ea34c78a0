/* The C interface of lumorix_sim.dll, through which the kernel-driver shim hosts simulated cameras.
 */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef LUMORIX_SIM_BUILD
#define LSIM_API __declspec(dllexport)
#else
#define LSIM_API __declspec(dllimport)
#endif

/* Ends a pended request: a Win32 error (0 = success) and the bytes moved. */
typedef void (*LsimDone)(void* context, uint32_t error, uint32_t bytes);

/* Cameras from a list such as L"0-c310:rev=3;1-4310"; returns how many there are. */
typedef uint32_t (*LsimConfigureFn)(const uint16_t* cameras);
/* The device link of camera n, e.g. L"lumorix-0-c310", zero-terminated in `room` characters. */
typedef uint32_t (*LsimLinkNameFn)(uint32_t camera, uint16_t* name, uint32_t room);

/* One open handle of camera n; null with a Win32 error when the camera refuses it. */
typedef void* (*LsimOpenFn)(uint32_t camera, uint32_t* error);
/* Closing ends every request still pending on the handle with 995. */
typedef void (*LsimCloseFn)(void* handle);

/* An I/O control or a read. 0 when done at once (transferred set), 997 when pended (`done` is
   called later, from another thread), else the error. `token` names a pended request for cancel. */
typedef uint32_t (*LsimIoctlFn)(void* handle, uint32_t code, const void* in, uint32_t inBytes,
                                void* out, uint32_t outBytes, uint32_t* transferred, LsimDone done,
                                void* context, void** token);
typedef uint32_t (*LsimReadFn)(void* handle, void* buffer, uint32_t bytes, LsimDone done,
                               void* context, void** token);
typedef void (*LsimCancelFn)(void* handle, void* token);

/* simctl's text commands; the reply is zero-terminated. */
typedef uint32_t (*LsimCommandFn)(const char* command, char* reply, uint32_t room);

LSIM_API uint32_t lsim_configure(const uint16_t* cameras);
LSIM_API uint32_t lsim_link_name(uint32_t camera, uint16_t* name, uint32_t room);
LSIM_API void* lsim_open(uint32_t camera, uint32_t* error);
LSIM_API void lsim_close(void* handle);
LSIM_API uint32_t lsim_ioctl(void* handle, uint32_t code, const void* in, uint32_t inBytes,
                             void* out, uint32_t outBytes, uint32_t* transferred, LsimDone done,
                             void* context, void** token);
LSIM_API uint32_t lsim_read(void* handle, void* buffer, uint32_t bytes, LsimDone done,
                            void* context, void** token);
LSIM_API void lsim_cancel(void* handle, void* token);
LSIM_API uint32_t lsim_command(const char* command, char* reply, uint32_t room);

/* The control link simctl opens, and its one I/O control: command text in, reply text out. */
#define LSIM_CONTROL_LINK "lumorixsim-ctl"
#define LSIM_IOCTL_COMMAND 0x222800u

#ifdef __cplusplus
}
#endif
