// The program's pictures as PNG file bytes, drawn at twice the handheld size.
// The definitions are made at build time from app/resources/bitmaps/*.png.
#pragma once

extern const unsigned char kBitmap118[];  // division header bands
extern const unsigned int kBitmap118Size;
extern const unsigned char kBitmap119[];
extern const unsigned int kBitmap119Size;
extern const unsigned char kBitmap120[];
extern const unsigned int kBitmap120Size;
extern const unsigned char kBitmap121[];
extern const unsigned int kBitmap121Size;
extern const unsigned char kBitmap122[];
extern const unsigned int kBitmap122Size;
extern const unsigned char kBitmap123[];
extern const unsigned int kBitmap123Size;
extern const unsigned char kBitmap124[];
extern const unsigned int kBitmap124Size;
extern const unsigned char kBitmap125[];
extern const unsigned int kBitmap125Size;
extern const unsigned char kBitmap128[];  // standings column captions
extern const unsigned int kBitmap128Size;
extern const unsigned char kBitmap129[];  // "Choose Week"
extern const unsigned int kBitmap129Size;
extern const unsigned char kBitmap130[];  // "Choose Team"
extern const unsigned int kBitmap130Size;
extern const unsigned char kBitmap134[];  // record bar captions
extern const unsigned int kBitmap134Size;
extern const unsigned char kBitmap135[];  // product name
extern const unsigned int kBitmap135Size;
extern const unsigned char kBitmap140[];  // football over a field
extern const unsigned int kBitmap140Size;
extern const unsigned char kBitmap141[];  // download progress messages
extern const unsigned int kBitmap141Size;
extern const unsigned char kBitmap142[];
extern const unsigned int kBitmap142Size;
extern const unsigned char kBitmap143[];
extern const unsigned int kBitmap143Size;
extern const unsigned char kBitmap144[];
extern const unsigned int kBitmap144Size;
extern const unsigned char kIcon101[];  // application icon
extern const unsigned int kIcon101Size;
