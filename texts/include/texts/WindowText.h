#ifndef TESSIT_TEXTS_WINDOWTEXT_H
#define TESSIT_TEXTS_WINDOWTEXT_H

/* The progress window's one line, as the resource compiler and the code
   both read it: nothing but a definition, which is all a resource script
   takes from a header. */
#define TESSIT_WINDOW_LINE "Please wait..."

#endif
