/ punch-program.asm - Normal mode
/ Punches a small program onto paper tape, one word per row: CLA, TAD 3, HLT and the
/ word 7 that TAD 3 adds. "Save Tape" numbers the punched rows from 0, as addresses: saved
/ with the range 0 to 3 the file reads 128 (start marker), 0 (start address), then the four
/ words, and the Paper Tape Reader loads them back at addresses 0 to 3. Run from 0 there,
/ the program halts with AC = 7.
/
/ In the emulator: assemble and transfer this program first (Transfer resets the punch and
/ takes its tape off), then open "Paper Tape Punch" on output device 0, press its button to
/ fit a tape, set PC to 0 and RUN.
/ Headless: mira8-cli run --module punch@0:prog.ptp:0-3 --json examples/punch-program.asm

        _ISZEROPAGEOFF
        _ISRESETT13             / the punch takes its byte at the pulse

START,  CLA
NEXT,   TAD I PTR               / AC = the next row
        PUT 0                   / punch it; AC becomes 0
WAIT,   SKO 0                   / punch ready again? (it waits for a tape to be fitted)
        JMP WAIT
        ISZ PTR
        ISZ COUNT               / all rows punched?
        JMP NEXT
        HLT

PTR,    ROWS
COUNT,  #D252                   / -4: the four words

        _PAGEBREAK
ROWS,   #D232                   / CLA
        #D35                    / TAD 3: the word at address 3 of the page it is loaded in
        #D241                   / HLT
        #D7                     / the word TAD 3 adds
