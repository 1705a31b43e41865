/ punch-program.asm - Normal mode
/ Punches a small program onto paper tape as the reader loads it: the start marker 128,
/ the start address 16, then the program's words. Saved from the punch ("Save Tape",
/ range 0 to the last byte) it loads back through the Paper Tape Reader.
/
/ In the emulator: open "Paper Tape Punch" on output device 0, press its button to fit a
/ tape, set PC to 0 and RUN.
/ Headless: mira8-cli run --module punch@0 --json examples/punch-program.asm

        _ISZEROPAGEOFF
        _ISRESETT13             / the punch takes its byte at the pulse

START,  CLA
NEXT,   TAD I PTR               / AC = the next row
        PUT 0                   / punch it; AC becomes 0
WAIT,   SKO 0                   / punch ready again?
        JMP WAIT
        ISZ PTR
        ISZ COUNT               / all rows punched?
        JMP NEXT
        HLT

PTR,    ROWS
COUNT,  #D250                   / -6: marker, address and four words

        _PAGEBREAK
ROWS,   #D128                   / start marker
        #D16                    / load at address 16
        #D232                   / CLA
        #D35                    / TAD 3: the word at 19 (the page starts at 16)
        #D241                   / HLT
        #D7
