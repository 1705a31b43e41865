/ tape-record.asm - Normal mode
/ Records the five bytes of DATA on the cassette (Magnetic Tape Storage bound to input
/ device 0 and output device 0), one byte after the other, then halts.
/
/ In the emulator: open "Magnetic Tape Storage" (In 0, Out 0), Tape > New, press
/ RECORD, set PC to 0 and RUN. The recorder takes a byte, writes it and a blank gap
/ behind it, and is ready for the next one two ticks (100 ms) later.
/ Headless: mira8-cli run --module magtape@0,0:record --json examples/tape-record.asm

        _ISZEROPAGEOFF
        _ISRESETT13             / the recorder expects its pulse after the data

START,  CLA
NEXT,   TAD I PTR               / AC = the byte PTR points at
        PUT 0                   / onto the tape; AC becomes 0
WAIT,   SKO 0                   / recorder ready for the next byte?
        JMP WAIT                / not yet
        ISZ PTR                 / point at the next byte
        ISZ COUNT               / five done? (COUNT counts up from -5 to 0)
        JMP NEXT
        HLT

PTR,    DATA                    / the byte pointer
COUNT,  #D251                   / -5

        _PAGEBREAK
DATA,   #D77                    / M
        #D73                    / I
        #D82                    / R
        #D65                    / A
        #D56                    / 8
