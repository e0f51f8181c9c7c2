/* The panel test library: one panel, shown until its quit control is used. */
#ifndef TESSIVO_TESSIVO_H
#define TESSIVO_TESSIVO_H

#ifdef __cplusplus
extern "C" {
#endif

enum {
    TESSIVO_OK = 0,
    TESSIVO_NO_PANEL_FILE = -1, /* "tessivo.uir" not found */
    TESSIVO_BAD_PANEL = -2, /* the file is not a panel */
    TESSIVO_NO_QUIT = -3 /* the panel has no quit control: it could never end */
};

/* Loads the panel file "tessivo.uir" (from the program directory, else from
 * the directory of the running program), shows it, runs it until its quit
 * control (the button named "quit") is used or the panel is closed, then
 * discards it. Runs on the calling thread, which must be the GUI thread when
 * a QApplication exists; otherwise one is made for the duration. */
int OpenPanel(void);

#ifdef __cplusplus
}
#endif

#endif
