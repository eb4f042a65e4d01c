/*
 * plclink: the host-facing binary interface of the S7-200 PPI driver module.
 *
 * A host loads the module (plclink.dll on Windows, plclink.so on Linux) and
 * calls its only exported function, VpiMain, with a VpiCallBlock whose
 * command code selects the operation. Every record here is a plain C struct
 * with natural alignment: on a 32-bit build the offsets are the host's fixed
 * ones (checked in src/entry/record_layout.cpp), on x86-64 the same
 * declarations give the natural 64-bit layout.
 */
#ifndef PLCLINK_VPI_H
#define PLCLINK_VPI_H

#include <stdint.h>

#if defined(_WIN32)
#define PLCLINK_EXPORT __declspec(dllexport)
#else
#define PLCLINK_EXPORT __attribute__((visibility("default")))
#endif

/* VpiMain and the host library functions use the C calling convention
 * (cdecl on 32-bit Windows). */

#ifdef __cplusplus
extern "C" {
#endif

/* Command codes of VpiMain. */
enum VpiCommand {
    VPI_COLD_START = 1,
    VPI_FLUSH_LINE = 2,
    VPI_SINGLE_PARSE = 3,
    VPI_BLOCK_PARSE = 4,
    VPI_READ_VALUE = 5,
    VPI_READ_BLOCK = 6,
    VPI_WRITE_VALUE = 7,
    VPI_WRITE_BLOCK = 10,
    VPI_END_VPI = 11,
    VPI_CLOSE_LINE = 12,
    VPI_REOPEN_LINE = 13,
    VPI_DESCRIBE_DRIVER = 14,
    VPI_CHANGE_LINE = 15,
    VPI_TAG_FORMAT = 16,
    /* Extensions, outside the classic 1..17. */
    VPI_READ_TAGS = 20
};

/* Result codes. */
enum VpiResult {
    VPI_OK = 0,
    VPI_FAILED = 1,          /* rejected address, request or refused response */
    VPI_UNAVAILABLE = 2,     /* no such command, start/open/close failed, link failed */
    VPI_DIALOG_NOTHING = 53  /* the Tag Format dialog wrote nothing */
};

/* Line settings: the codes of the Windows line-state record. */
typedef struct LineSettings {
    uint16_t baud;     /* bits per second; 0 = keep the current settings */
    uint16_t dataBits; /* 5..8 */
    uint16_t stopBits; /* 0 = one, 1 = one and a half, 2 = two */
    uint16_t parity;   /* 0 none, 1 odd, 2 even, 3 mark, 4 space */
} LineSettings;

typedef struct VpiCallBlock {
    void* instance;     /* the host-allocated VpiInstance */
    uint32_t command;   /* 1..17, or an extension (VPI_READ_TAGS) */
    int32_t vpiNumber;  /* the host's number of this VPI */
    uint32_t hostWord;  /* the host's; never touched */
    void* params;       /* the command's parameter record */
} VpiCallBlock;

/* Filled by command 14. */
typedef struct DriverDescriptor {
    uint32_t driverCode;
    const char* name;
    const char* banner;
    uint32_t instanceSize;
    uint32_t hostValueA;
    LineSettings defaultLine;
    uint32_t hostValueB;
} DriverDescriptor;

/* Parameter record of command 1. */
typedef struct ColdStartRequest {
    char portName[12];
    uint32_t lineSwitch;  /* 0 = start without opening the line */
    uint32_t readTimeout; /* total read time-out, 10 ms units; 0 = 1000 ms */
    LineSettings settings;
} ColdStartRequest;

/* Parameter record of command 15. */
typedef struct LineChangeRequest {
    char portName[12];
    uint32_t readTimeout; /* 0 = keep */
    LineSettings settings; /* baud 0 = keep all four */
} LineChangeRequest;

/* Bit number of a tag that is not a bit tag. */
#define VPI_NO_BIT 255u

/* The memArea byte of a tag: the area letter 'I', 'Q', 'M' or 'V', or, for
 * the S7-200's further areas, their S7 area code, which is no letter. */
#define VPI_AREA_S  0x04u /* sequence control relays, S */
#define VPI_AREA_SM 0x05u /* special memory, SM */
#define VPI_AREA_AI 0x06u /* analog inputs, AIW (read-only) */
#define VPI_AREA_AQ 0x07u /* analog outputs, AQW */
/* Timers and counters: a tag names an element by its number (T37, C12) and
 * reads its current value as a word; they are not written. */
#define VPI_AREA_C  0x1Eu /* counters, C0..C255 */
#define VPI_AREA_T  0x1Fu /* timers, T0..T255 */

/* Parameter record of commands 3, 4 and 16. */
typedef struct GateParseRecord {
    char* gas;            /* the gate address string */
    void* ownerWindow;    /* command 16 only */
    int32_t gateType;     /* 0..5 analog, 6 digital (bit) */
    uint32_t unused;
    int32_t plcNumber;
    uint8_t memArea;      /* 'I', 'Q', 'M', 'V', or a VPI_AREA_ value */
    uint8_t memAreaBits;  /* 8, 16 or 32 */
    uint8_t areaPad[2];
    int32_t elementIndex;
    uint32_t bitNumber;   /* 0..7, or VPI_NO_BIT */
    int32_t sizeBits;
} GateParseRecord;

/* Parameter record of commands 5, 6, 7 and 10. */
typedef struct TagAccessRecord {
    uint32_t hostWord1;
    uint32_t hostWord2;
    int32_t plcNumber;
    uint8_t memArea;
    uint8_t memAreaBits;
    uint8_t areaPad[2];
    int32_t elementIndex;
    uint32_t bitNumber;
    int32_t sizeBits;
    int32_t tagKind;      /* 7 = text tag: the buffer's first byte is cleared */
    int32_t itemCount;    /* elements of a block */
    uint32_t hostWord3;
    void* dataBuffer;
} TagAccessRecord;

/* Parameter record of command 20, read tags: many tags, of any stations and
 * areas, read with as few multi-item read requests as the controllers'
 * limits allow. Each element of `tags` is filled as for command 5 (and its
 * dataBuffer receives what command 5 would store); `results` receives one
 * code per tag: 0 read, 1 refused (by the driver or the controller), 2 the
 * link failed. The module never changes `tags`. */
#define VPI_READ_TAGS_MAX 4096

typedef struct ReadTagsRecord {
    int32_t tagCount;       /* 1..VPI_READ_TAGS_MAX */
    TagAccessRecord* tags;  /* tagCount records */
    int32_t* results;       /* tagCount result codes, written by the module */
    uint32_t requests;      /* written by the module: read requests made */
} ReadTagsRecord;

/* The module's only exported function. */
PLCLINK_EXPORT int32_t VpiMain(VpiCallBlock* callBlock);

#ifdef __cplusplus
}
#endif

#endif
