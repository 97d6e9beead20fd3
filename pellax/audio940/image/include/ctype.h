/* The image's character routines (runtime.c), for the decoder's comment tags. */
#ifndef PX940_CTYPE_H
#define PX940_CTYPE_H
#ifdef __cplusplus
extern "C" {
#endif
int toupper(int c);
int tolower(int c);
#ifdef __cplusplus
}
#endif
#endif
