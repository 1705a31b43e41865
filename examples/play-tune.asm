/ play-tune.asm - Normal mode, zero page mode
/ Plays a short tune on the Melody Player (output device 0). Each note is one #N
/ literal: octave (0-3), duration (0-3) and the note name (X is a rest).
/ In zero page mode words 0-7 can be reached from every page, so the variables live
/ there and the tune can sit anywhere.

        _ISZEROPAGEON           / the code relies on page zero addressing
        _NOTEDELAY 150          / a little slower than the default 100
        JMP I GO                / word 0: jump over the variables, through GO
PTR,    #D0                     / word 1: points at the next note
COUNT,  #D0                     / word 2: counts up to 0
LEN,    #D-8                    / word 3: minus the number of notes
FIRST,  TUNE                    / word 4: where the tune starts
GO,     START                   / word 5: where the program starts

        _SETPC #D16             / the program fills page 1
START,  CLA
        TAD FIRST
        DCA PTR                 / PTR = first note
        TAD LEN
        DCA COUNT               / COUNT = -8
NEXT,   TAD I PTR               / AC = the note
        PUT 0                   / play it
WAIT,   SKO 0                   / the player is busy while the note sounds
        JMP WAIT
        ISZ PTR
        ISZ COUNT               / skips when all notes are played
        JMP NEXT
        HLT

        _PAGEBREAK
TUNE,   #N11C                   / C, octave 1
        #N11D
        #N11E
        #N11F
        #N12G                   / a longer G
        #N10X                   / a short rest
        #N12G
        #N23C                   / high C, longest
