/* What a host needs to drive libclipsight.so: the exported functions' types, the ids, and the
 * interfaces as operation tables (structs of function pointers, each taking the object first).
 * Plain C; load the library with dlopen and look up the functions by name. */
#ifndef CLIPSIGHT_HOST_H
#define CLIPSIGHT_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t CsHresult;
typedef char16_t CsOleChar; /* UTF-16 code unit */
typedef CsOleChar* CsBstr;   /* 32-bit byte length before the text, NUL after it */

typedef struct CsGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} CsGuid;

#define CS_S_OK ((CsHresult)0)
#define CS_E_NOINTERFACE ((CsHresult)0x80004002u)
#define CS_E_POINTER ((CsHresult)0x80004003u)
#define CS_E_FAIL ((CsHresult)0x80004005u)
#define CS_E_OUTOFMEMORY ((CsHresult)0x8007000Eu)

/* Container-type codes: 10, 11, 12, 31, 32 MP4/QuickTime; 17 Matroska; 44, 45 transport stream. */

typedef struct CsStreamInfo CsStreamInfo;
typedef struct CsMediaFileInfo CsMediaFileInfo;
typedef struct CsControl CsControl;

struct CsStreamInfoOps {
    CsHresult (*QueryInterface)(CsStreamInfo* self, const CsGuid* iid, void** out);
    uint32_t (*AddRef)(CsStreamInfo* self);
    uint32_t (*Release)(CsStreamInfo* self);
    int32_t (*GetIndex)(CsStreamInfo* self);
    CsHresult (*GetTypes)(CsStreamInfo* self, CsGuid* majorType, CsGuid* subtype);
    int32_t (*GetFormatTag)(CsStreamInfo* self);
    int32_t (*GetRate)(CsStreamInfo* self);
    CsHresult (*GetSize)(CsStreamInfo* self, int32_t* size); /* width, height */
    CsHresult (*GetName)(CsStreamInfo* self, CsBstr* out);   /* the caller frees the BSTR */
    int32_t (*GetChannels)(CsStreamInfo* self);
    void (*Destroy)(CsStreamInfo* self, uint32_t flags);     /* used by Release only */
};
struct CsStreamInfo {
    const struct CsStreamInfoOps* ops;
};

struct CsMediaFileInfoOps {
    CsHresult (*QueryInterface)(CsMediaFileInfo* self, const CsGuid* iid, void** out);
    uint32_t (*AddRef)(CsMediaFileInfo* self);
    uint32_t (*Release)(CsMediaFileInfo* self);
    int32_t (*GetStreamCount)(CsMediaFileInfo* self);
    CsHresult (*Reset)(CsMediaFileInfo* self);
    CsHresult (*Next)(CsMediaFileInfo* self, CsStreamInfo** out);
    int32_t (*GetDuration)(CsMediaFileInfo* self);
    void (*Destroy)(CsMediaFileInfo* self, uint32_t flags); /* used by Release only */
};
struct CsMediaFileInfo {
    const struct CsMediaFileInfoOps* ops;
};

struct CsControlOps {
    CsHresult (*QueryInterface)(CsControl* self, const CsGuid* iid, void** out);
    uint32_t (*AddRef)(CsControl* self);
    uint32_t (*Release)(CsControl* self);
    CsHresult (*ReservedA)(CsControl* self, int32_t value);
    CsHresult (*ReservedB)(CsControl* self);
    int32_t (*GetOption)(CsControl* self);
    CsHresult (*SetOption)(CsControl* self, int32_t value);
    CsHresult (*GetClassId)(CsControl* self, CsGuid* out);
    const char* (*GetName)(CsControl* self); /* owned by the library */
    CsHresult (*Open)(CsControl* self, CsBstr path, int32_t containerType, CsMediaFileInfo** out);
    void (*OnCreated)(CsControl* self);      /* the library's own hooks */
    void (*OnFinalRelease)(CsControl* self);
};
struct CsControl {
    const struct CsControlOps* ops;
};

/* The exports. */
typedef CsHresult (*CsCreateSTComponentFn)(const CsGuid* clsid, void** out);
typedef int (*CsGetCLSIDsFn)(CsGuid* out, unsigned max);
typedef CsBstr (*CsSysAllocStringFn)(const CsOleChar* text);
typedef CsBstr (*CsSysAllocStringLenFn)(const CsOleChar* text, unsigned length);
typedef unsigned (*CsSysStringLenFn)(CsBstr text);
typedef void (*CsSysFreeStringFn)(CsBstr text);

/* Ids. */
static const CsGuid CS_CLSID_CONTROL = {0x3CC23BB2, 0xA09E, 0x41D4, {0xB0, 0x8D, 0x14, 0x5F, 0xB6, 0x67, 0x85, 0x49}};
static const CsGuid CS_IID_IUNKNOWN = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const CsGuid CS_IID_CONTROL_A = {0x821D5127, 0x60F0, 0x4E28, {0xB3, 0x9D, 0x50, 0x7F, 0x98, 0x58, 0x29, 0x01}};
static const CsGuid CS_IID_CONTROL_B = {0xFC444062, 0x07C1, 0x431B, {0xA1, 0x4E, 0x12, 0xDB, 0x17, 0xB0, 0x8C, 0xC0}};
static const CsGuid CS_IID_MEDIA_FILE_INFO = {0x57D6DDBB, 0x21B9, 0x4175, {0x85, 0x09, 0x9D, 0xBE, 0x1D, 0xAA, 0xED, 0x6C}};
static const CsGuid CS_IID_STREAM_INFO = {0x3C692E6B, 0xB520, 0x4C67, {0xA8, 0xA4, 0x04, 0x2F, 0x19, 0x1C, 0xE6, 0x13}};

#ifdef __cplusplus
}
#endif

#endif
