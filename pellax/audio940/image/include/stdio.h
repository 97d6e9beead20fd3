/* The decoder's seek callbacks name the three origins. Its file-opening calls (ov_open,
   ov_test) are declared against these names but never linked: the program opens streams in
   memory only, and the image's link drops what nothing calls. */
#ifndef PX940_STDIO_H
#define PX940_STDIO_H
#include <stddef.h>
#define SEEK_SET 0
#define SEEK_CUR 1
#define SEEK_END 2
#define EOF (-1)
typedef struct px940_no_file FILE;
#ifdef __cplusplus
extern "C" {
#endif
size_t fread(void *buffer, size_t size, size_t count, FILE *f);
int fseek(FILE *f, long offset, int whence);
long ftell(FILE *f);
int fclose(FILE *f);
#ifdef __cplusplus
}
#endif
#endif
