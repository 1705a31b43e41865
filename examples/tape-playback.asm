/ tape-playback.asm - Normal mode
/ Plays five bytes back from the cassette (input device 0) into BUFFER, then halts with
/ the last byte in AC.
/
/ In the emulator: record them with tape-record.asm, press STOP and REWIND, then set PC
/ to 0, RUN this program and press PLAY: each byte that passes the head is offered on
/ input device 0, and the program must take it before the next one comes.
/ Headless, with the tape of this folder (its bytes stand at cells 10 to 18):
/   mira8-cli run --module magtape@0,0:examples/mira8.mtf:play --json examples/tape-playback.asm

        _ISZEROPAGEOFF

START,  CLA
NEXT,   SKI 0                   / a byte under the head?
        JMP NEXT                / not yet
        GET 0                   / AC = the byte; the recorder may offer the next one
        DCA I PTR               / into the buffer; AC = 0
        ISZ PTR
        ISZ COUNT               / five taken?
        JMP NEXT
        TAD I LAST              / show the last byte
        HLT

PTR,    BUFFER
LAST,   BUFLAST
COUNT,  #D251                   / -5

        _PAGEBREAK
BUFFER, #D0
        #D0
        #D0
        #D0
BUFLAST, #D0
