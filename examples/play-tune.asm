/ play-tune.asm - Normal mode
/ Plays a C major scale on the Melody Player bound to output device 0.
/ Open "Melody Player" on output device 0, set PC to 0, RUN.
/
/ Each note is one #N literal: the length code (0-3: 1, 2, 4 or 8 note delays), the
/ octave (0-3) and the note name (X is a rest). Within an octave the names run from C#
/ up to C, so the scale starts on the C of octave 0 and climbs through octave 1.
/ The player takes two pulses per note: the first starts the note, the second keeps the
/ player busy for the note's length. The program waits until it is ready again.
/ The whole program fits in page 0, so it runs with zero page mode on or off.

        _NOTEDELAY 150          / 150 ms per length unit (the default is 100)

START,  CLA
        TAD FIRST
        DCA PTR                 / PTR = the first note
NEXT,   TAD I PTR               / AC = the note (AC was 0)
        SZA                     / the end marker (0) halts
        JMP PLAY
        HLT
PLAY,   WRT 0                   / the note byte to output device 0; AC becomes 0
        STB 0                   / first pulse: the note starts
        STB 0                   / second pulse: busy for the note's length
WAIT,   SKO 0                   / note over?
        JMP WAIT                / no: ask again
        ISZ PTR                 / the next note
        JMP NEXT
PTR,    #D0                     / points at the note being played
FIRST,  TUNE                    / where the tune starts

        _PAGEBREAK
TUNE,   #N00C                   / C, one unit
        #N01D
        #N01E
        #N01F
        #N01G
        #N01A
        #N01B
        #N21C                   / the C above, four units
        #N10X                   / a rest of two units
        #N01G
        #N31C                   / and a long C to end, eight units
        #N00X                   / 0: the end of the tune
