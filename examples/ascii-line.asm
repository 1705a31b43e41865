/ ascii-line.asm - Normal mode
/ Reads one line typed on the ASCII keyboard (input device 0) into memory, one
/ character code per word from LINE (address 15) on, and halts after Enter (13).
/ Try it headless:
/   mira8-cli run --module ascii@0:shift+h,i,shift+1,enter --json examples/ascii-line.asm
/ memory[15..18] then hold 72 105 33 13 ("Hi!" and Enter).

START,  CLA
NEXT,   SKI 0                   / a key waiting?
        JMP NEXT                / no: ask again
        GET 0                   / AC = its code; the keyboard may take the next key
        DCA I PTR               / store it where PTR points; AC = 0
        TAD I PTR               / AC = the code again
        TAD MCR                 / AC = code - 13
        SZA                     / Enter? then skip to the HLT
        JMP MORE
        HLT
MORE,   CLA
        ISZ PTR                 / the next word of the line
        JMP NEXT
PTR,    LINE                    / where the next code goes
MCR,    #D-13                   / minus the code of Enter
LINE,   #D0                     / the line starts here
