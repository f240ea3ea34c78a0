/* lumorixsim.sys: hosts simulated cameras from lumorix_sim.dll behind the kernel driver's device
   links, so the transport's kernel-driver back-end runs end to end under Wine. Wine dispatches
   every IRP on one thread, so nothing here blocks: reads are pended and finished from the DLL's
   thread. */
#include <ntddk.h>

#include "sim/wine/lumorix_sim_api.h"

__declspec(dllimport) void* __stdcall LoadLibraryW(const wchar_t* name);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
extern char __ImageBase;

#define MAX_CAMERAS 16 /* as many as the module lists */
#define MAX_LIST_CHARS 1024
#define READ_PIPE 0x22204Eu
#define CONTROL_INDEX 0xFFFFFFFFu

typedef struct {
  ULONG camera; /* CONTROL_INDEX for the control device */
} Extension;

static struct {
  LsimConfigureFn configure;
  LsimLinkNameFn linkName;
  LsimOpenFn open;
  LsimCloseFn close;
  LsimIoctlFn ioctl;
  LsimReadFn read;
  LsimCancelFn cancel;
  LsimCommandFn command;
} sim;

/* Win32 errors as NTSTATUS, chosen so that callers see the same error again. */
static NTSTATUS toStatus(uint32_t error) {
  switch (error) {
    case 0:
      return STATUS_SUCCESS;
    case 1:
      return STATUS_INVALID_DEVICE_REQUEST;
    case 2:
      return STATUS_OBJECT_NAME_NOT_FOUND;
    case 31:
      return STATUS_UNSUCCESSFUL;
    case 87:
      return STATUS_INVALID_PARAMETER;
    case 121:
      return STATUS_IO_TIMEOUT;
    case 995:
      return STATUS_CANCELLED;
    case 1167:
      return STATUS_DEVICE_NOT_CONNECTED;
    default:
      return STATUS_UNSUCCESSFUL;
  }
}

static NTSTATUS finish(IRP* irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static void* outputBuffer(IRP* irp, ULONG code) {
  if ((code & 3) == METHOD_BUFFERED) return irp->AssociatedIrp.SystemBuffer;
  return irp->MdlAddress ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority) : NULL;
}

/* Where a pended request stands, kept in its IRP's driver context and changed only under the
   cancel spin lock. While its start is under way the DLL may not have it registered yet, so a
   cancel would find nothing, and its completion may come before the start returns: neither ends
   it then, each leaves its outcome for the dispatch routine, which acts on it once the start has
   returned. */
enum { REQUEST_STARTING, REQUEST_STARTED, REQUEST_CANCELLED_STARTING, REQUEST_DONE_STARTING };

static ULONG_PTR requestState(IRP* irp) {
  return (ULONG_PTR)irp->Tail.Overlay.DriverContext[0];
}

static void setRequestState(IRP* irp, ULONG_PTR state) {
  irp->Tail.Overlay.DriverContext[0] = (void*)state;
}

/* Called from the DLL's stream thread when a pended request ends, once per request. A cancel
   routine the kernel has entered reads the IRP until it drops the cancel spin lock: that is waited
   for, so the IRP is never completed (and freed) under it. */
static void requestDone(void* context, uint32_t error, uint32_t bytes) {
  IRP* irp = context;
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  irp->IoStatus.Status = toStatus(error);
  irp->IoStatus.Information = error ? 0 : bytes;
  if (requestState(irp) != REQUEST_STARTED) {
    setRequestState(irp, REQUEST_DONE_STARTING);
    IoReleaseCancelSpinLock(irql);
    return;
  }
  IoSetCancelRoutine(irp, NULL);
  IoReleaseCancelSpinLock(irql);
  IoCompleteRequest(irp, IO_NO_INCREMENT);
}

/* Takes what it needs from the IRP before dropping the cancel spin lock; after that the request
   may complete at any time, and the IRP is only a name to the DLL, which cancels it when it is
   still pending (no other request can take its address meanwhile: this thread dispatches them).
   A request still starting is cancelled by its dispatch routine once the DLL has it. */
static void __stdcall cancelRequest(DEVICE_OBJECT* device, IRP* irp) {
  void* handle = IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext;
  const ULONG_PTR state = requestState(irp);
  if (state == REQUEST_STARTING) setRequestState(irp, REQUEST_CANCELLED_STARTING);
  IoReleaseCancelSpinLock(irp->CancelIrql);
  if (state == REQUEST_STARTED && handle) sim.cancel(handle, irp); /* ends it with 995 */
}

/* Makes a request cancellable, or ends it now when it was cancelled already (nonzero). The cancel
   flag is read under the cancel spin lock, under which the kernel sets it before it looks for a
   cancel routine, so a cancel either finds the routine or is seen here. */
static int cancelledBeforeStart(IRP* irp) {
  KIRQL irql;
  IoMarkIrpPending(irp);
  setRequestState(irp, REQUEST_STARTING);
  IoAcquireCancelSpinLock(&irql);
  if (!irp->Cancel) {
    IoSetCancelRoutine(irp, cancelRequest);
    IoReleaseCancelSpinLock(irql);
    return 0;
  }
  IoReleaseCancelSpinLock(irql);
  finish(irp, STATUS_CANCELLED, 0);
  return 1;
}

/* The start's outcome. A refused start, or a request that completed while it was starting, ends
   here; a cancel that came meanwhile is passed on now that the DLL has the request; else the
   request is left to requestDone. */
static NTSTATUS pend(IRP* irp, void* handle, uint32_t error) {
  KIRQL irql;
  ULONG_PTR state;
  IoAcquireCancelSpinLock(&irql);
  state = requestState(irp);
  if (error != 997 || state == REQUEST_DONE_STARTING) {
    IoSetCancelRoutine(irp, NULL);
    IoReleaseCancelSpinLock(irql);
    if (error != 997) {
      irp->IoStatus.Status = toStatus(error);
      irp->IoStatus.Information = 0;
    }
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_PENDING;
  }
  setRequestState(irp, REQUEST_STARTED);
  IoReleaseCancelSpinLock(irql);
  if (state == REQUEST_CANCELLED_STARTING) sim.cancel(handle, irp); /* ends it with 995 */
  return STATUS_PENDING;
}

static NTSTATUS __stdcall dispatchRead(DEVICE_OBJECT* device, IRP* irp) {
  IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
  void* handle = stack->FileObject->FsContext;
  void* buffer =
      irp->MdlAddress
          ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority)
          : (irp->AssociatedIrp.SystemBuffer ? irp->AssociatedIrp.SystemBuffer : irp->UserBuffer);
  if (!handle) return finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  if (cancelledBeforeStart(irp)) return STATUS_PENDING;
  return pend(irp, handle,
              sim.read(handle, buffer, stack->Parameters.Read.Length, requestDone, irp, NULL));
}

static NTSTATUS controlCommand(IRP* irp, IO_STACK_LOCATION* stack) {
  char command[256];
  ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
  ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
  char* buffer = irp->AssociatedIrp.SystemBuffer;
  ULONG i;
  if (stack->Parameters.DeviceIoControl.IoControlCode != LSIM_IOCTL_COMMAND || !buffer)
    return finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  for (i = 0; i < in && i + 1 < sizeof command; ++i) command[i] = buffer[i];
  command[i] = 0;
  return finish(irp, STATUS_SUCCESS, sim.command(command, buffer, out));
}

static NTSTATUS __stdcall dispatchIoctl(DEVICE_OBJECT* device, IRP* irp) {
  IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
  Extension* ext = device->DeviceExtension;
  ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  void* handle = stack->FileObject->FsContext;
  uint32_t transferred = 0, error;
  if (ext->camera == CONTROL_INDEX) return controlCommand(irp, stack);
  if (!handle) return finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  if (code == READ_PIPE) {
    if (cancelledBeforeStart(irp)) return STATUS_PENDING;
    return pend(
        irp, handle,
        sim.ioctl(handle, code, irp->AssociatedIrp.SystemBuffer,
                  stack->Parameters.DeviceIoControl.InputBufferLength, outputBuffer(irp, code),
                  stack->Parameters.DeviceIoControl.OutputBufferLength, &transferred, requestDone,
                  irp, NULL));
  }
  error = sim.ioctl(handle, code, irp->AssociatedIrp.SystemBuffer,
                    stack->Parameters.DeviceIoControl.InputBufferLength, outputBuffer(irp, code),
                    stack->Parameters.DeviceIoControl.OutputBufferLength, &transferred, NULL, NULL,
                    NULL);
  return finish(irp, toStatus(error), transferred);
}

static NTSTATUS __stdcall dispatchCreate(DEVICE_OBJECT* device, IRP* irp) {
  Extension* ext = device->DeviceExtension;
  uint32_t error = 0;
  void* handle = NULL;
  if (ext->camera != CONTROL_INDEX) {
    handle = sim.open(ext->camera, &error);
    if (!handle) return finish(irp, toStatus(error), 0);
  }
  IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext = handle;
  return finish(irp, STATUS_SUCCESS, 0);
}

/* Wine sends no IRP_MJ_CLEANUP, so closing ends the reads still pending as well. */
static NTSTATUS __stdcall dispatchClose(DEVICE_OBJECT* device, IRP* irp) {
  FILE_OBJECT* file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  if (file->FsContext) sim.close(file->FsContext);
  file->FsContext = NULL;
  return finish(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS __stdcall dispatchCleanup(DEVICE_OBJECT* device, IRP* irp) {
  void* handle = IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext;
  if (handle) sim.cancel(handle, NULL);
  return finish(irp, STATUS_SUCCESS, 0);
}

static void append(UNICODE_STRING* s, const WCHAR* text) {
  while (*text && s->Length + sizeof(WCHAR) <= s->MaximumLength) {
    s->Buffer[s->Length / sizeof(WCHAR)] = *text++;
    s->Length += sizeof(WCHAR);
  }
}

static NTSTATUS makeDevice(DRIVER_OBJECT* driver, ULONG camera, const WCHAR* name,
                           const WCHAR* link) {
  WCHAR nameBuffer[64], linkBuffer[96];
  UNICODE_STRING nameString = {0, sizeof nameBuffer, nameBuffer};
  UNICODE_STRING linkString = {0, sizeof linkBuffer, linkBuffer};
  DEVICE_OBJECT* device;
  NTSTATUS status;
  append(&nameString, L"\\Device\\");
  append(&nameString, name);
  append(&linkString, L"\\DosDevices\\");
  append(&linkString, link);
  status = IoCreateDevice(driver, sizeof(Extension), &nameString, FILE_DEVICE_UNKNOWN, 0, FALSE,
                          &device);
  if (!NT_SUCCESS(status)) return status;
  ((Extension*)device->DeviceExtension)->camera = camera;
  device->Flags |= DO_DIRECT_IO;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return IoCreateSymbolicLink(&linkString, &nameString);
}

/* Parameters\Cameras under the service key, e.g. "0-c310:rev=3"; a list is separated by ';'. */
static void readCameras(UNICODE_STRING* serviceKey, WCHAR* out, ULONG room) {
  WCHAR pathBuffer[256];
  UNICODE_STRING path = {0, sizeof pathBuffer, pathBuffer};
  UNICODE_STRING valueName;
  OBJECT_ATTRIBUTES attributes;
  HANDLE key;
  /* Static: too large for a driver's stack; the entry point reads the list once. */
  static UCHAR info[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + MAX_LIST_CHARS * sizeof(WCHAR)];
  ULONG got = 0, i;
  KEY_VALUE_PARTIAL_INFORMATION* value = (KEY_VALUE_PARTIAL_INFORMATION*)info;
  out[0] = 0;
  for (i = 0; i < serviceKey->Length / sizeof(WCHAR) && i < 200; ++i)
    pathBuffer[i] = serviceKey->Buffer[i];
  path.Length = (USHORT)(i * sizeof(WCHAR));
  append(&path, L"\\Parameters");
  RtlInitUnicodeString(&valueName, L"Cameras");
  InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE, NULL, NULL);
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return;
  if (NT_SUCCESS(
          ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info, sizeof info, &got)) &&
      (value->Type == REG_SZ || value->Type == REG_MULTI_SZ)) {
    ULONG n = value->DataLength / sizeof(WCHAR);
    const WCHAR* data = (const WCHAR*)value->Data;
    for (i = 0; i < n && i + 1 < room; ++i) out[i] = data[i] ? data[i] : L';';
    out[i] = 0;
  }
  ZwClose(key);
}

static int loadSim(void) {
  void* dll = LoadLibraryW(L"lumorix_sim.dll");
  if (!dll) return 0;
  sim.configure = (LsimConfigureFn)GetProcAddress(dll, "lsim_configure");
  sim.linkName = (LsimLinkNameFn)GetProcAddress(dll, "lsim_link_name");
  sim.open = (LsimOpenFn)GetProcAddress(dll, "lsim_open");
  sim.close = (LsimCloseFn)GetProcAddress(dll, "lsim_close");
  sim.ioctl = (LsimIoctlFn)GetProcAddress(dll, "lsim_ioctl");
  sim.read = (LsimReadFn)GetProcAddress(dll, "lsim_read");
  sim.cancel = (LsimCancelFn)GetProcAddress(dll, "lsim_cancel");
  sim.command = (LsimCommandFn)GetProcAddress(dll, "lsim_command");
  return sim.configure && sim.linkName && sim.open && sim.close && sim.ioctl && sim.read &&
         sim.cancel && sim.command;
}

NTSTATUS __stdcall DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registryPath) {
  static WCHAR cameras[MAX_LIST_CHARS];
  WCHAR name[32], link[64];
  ULONG count, i;
  /* The loader calls the entry point once as a DLL entry, with the image base first. */
  if ((void*)driver == (void*)&__ImageBase) return TRUE;
  if (!loadSim()) return STATUS_DLL_NOT_FOUND;
  readCameras(registryPath, cameras, sizeof cameras / sizeof cameras[0]);
  count = sim.configure((const uint16_t*)cameras);
  driver->MajorFunction[IRP_MJ_CREATE] = dispatchCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = dispatchClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = dispatchCleanup;
  driver->MajorFunction[IRP_MJ_READ] = dispatchRead;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchIoctl;
  for (i = 0; i < count && i < MAX_CAMERAS; ++i) {
    const WCHAR stem[] = L"LumorixSim";
    ULONG k;
    for (k = 0; stem[k]; ++k) name[k] = stem[k];
    if (i >= 10) name[k++] = (WCHAR)(L'0' + i / 10);
    name[k++] = (WCHAR)(L'0' + i % 10);
    name[k] = 0;
    sim.linkName(i, (uint16_t*)link, sizeof link / sizeof link[0]);
    makeDevice(driver, i, name, link);
  }
  return makeDevice(driver, CONTROL_INDEX, L"LumorixSimCtl", L"" LSIM_CONTROL_LINK);
}
