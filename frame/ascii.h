// Case folding of the ASCII letters only, whatever the locale or code page.
#ifndef FRAME_ASCII_H
#define FRAME_ASCII_H

inline unsigned char ascii_lower(unsigned char c) {
    return static_cast<unsigned>(c - 'A') < 26u ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

#endif
