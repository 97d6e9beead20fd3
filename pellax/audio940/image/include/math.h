/* The integer decoder includes <math.h> but calls nothing from it. */
#ifndef PX940_MATH_H
#define PX940_MATH_H
#endif
