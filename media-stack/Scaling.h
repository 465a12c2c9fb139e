// The imaging coprocessor's previewer and resizer (4:2:2 scaling, with the
// destination's dimensions giving the place and size of the picture, so
// that a letter-box is the caller's choice), the rotation that turns a
// picture into the portrait LCD, and the frame copy.
#ifndef MEDIA_STACK_SCALING_H
#define MEDIA_STACK_SCALING_H

#include "media-stack/Dmai.h"

// ---- Previewer ------------------------------------------------------------

typedef struct Previewer_Object* Previewer_Handle;

struct Previewer_Attrs
{
    int autoWhiteBalance;  // 1: the previewer balances by itself
};

extern const Previewer_Attrs Previewer_Attrs_DEFAULT;

Previewer_Handle Previewer_create(const Previewer_Attrs* pAttrs);
int Previewer_config2(Previewer_Handle hPrv, Buffer_Handle hSrc, Buffer_Handle hDst);
int Previewer_setWhiteBalance(Previewer_Handle hPrv, int nWhiteBalance);
int Previewer_delete(Previewer_Handle hPrv);

// ---- Resizer --------------------------------------------------------------

typedef struct Resize_Object* Resize_Handle;

struct Resize_Attrs
{
    int reserved;
};

extern const Resize_Attrs Resize_Attrs_DEFAULT;

Resize_Handle Resize_create(const Resize_Attrs* pAttrs);
// Makes the resizer new again (its configuration is forgotten).
int Resize_recreate(Resize_Handle hRsz);
int Resize_config(Resize_Handle hRsz, Buffer_Handle hSrc, Buffer_Handle hDst);
// Chains the previewer and the resizer behind the capture: every captured
// frame of hSrc's size also gives a preview of hDst's size, the frame kept
// whole (letter-boxed when the shapes differ).
int Resize_chain_config2(Resize_Handle hRsz, Previewer_Handle hPrv, Buffer_Handle hSrc, Buffer_Handle hDst);
// Scales the source picture into the destination's dimensions.
int Resize_execute(Resize_Handle hRsz, Buffer_Handle hSrc, Buffer_Handle hDst);
int Resize_delete(Resize_Handle hRsz);

// ---- Rotation ---------------------------------------------------------------

typedef struct Rotation_Object* Rotation_Handle;

struct Rotation_Attrs
{
    int reserved;
};

extern const Rotation_Attrs Rotation_Attrs_DEFAULT;

Rotation_Handle Rotation_create(const Rotation_Attrs* pAttrs);
int Rotation_config(Rotation_Handle hRot, Buffer_Handle hSrc, Buffer_Handle hDst);
// Turns the source a quarter into the destination (whose width is the
// source's height): direction 0 clockwise, 1 counter-clockwise.
int Rotation_execute(Rotation_Handle hRot, Buffer_Handle hSrc, Buffer_Handle hDst, int nDirection);
int Rotation_delete(Rotation_Handle hRot);

// ---- Frame copy -------------------------------------------------------------

typedef struct Framecopy_Object* Framecopy_Handle;

struct Framecopy_Attrs
{
    int reserved;
};

extern const Framecopy_Attrs Framecopy_Attrs_DEFAULT;

Framecopy_Handle Framecopy_create(const Framecopy_Attrs* pAttrs);
int Framecopy_config(Framecopy_Handle hFc, Buffer_Handle hSrc, Buffer_Handle hDst);
// Copies the source picture into the destination (scaled when the sizes differ).
int Framecopy_execute(Framecopy_Handle hFc, Buffer_Handle hSrc, Buffer_Handle hDst);
int Framecopy_delete(Framecopy_Handle hFc);

#endif
