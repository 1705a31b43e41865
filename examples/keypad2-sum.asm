/ keypad2-sum.asm - Normal mode
/ Adds up the keys typed on KeyPad 2 (input device 0) until a key worth 255 comes,
/ then halts with the sum in AC and in SUM (address 14).
/ Load the key data file keypad2-digits.kpf first ("Key Data" > "Load" in the
/ keypad's menu): it gives the digit keys their digits and "E" the value 255.
/ Try it headless:
/   mira8-cli run --module keypad2@0:1,2,3,E:examples/keypad2-digits.kpf examples/keypad2-sum.asm
/ and AC ends as 6.

START,  CLA
        DCA SUM                 / the sum starts at 0
NEXT,   SKI 0                   / a key waiting?
        JMP NEXT
        GET 0                   / AC = the key's value
        IAC                     / 255 + 1 wraps to 0: that was the end key
        SZA
        JMP ADD
        TAD SUM                 / AC = the sum (AC was 0)
        HLT
ADD,    TAD MONE                / take the 1 away again: AC = the value
        TAD SUM
        DCA SUM                 / SUM = SUM + value; AC = 0
        JMP NEXT
SUM,    #D0
MONE,   #D255                   / -1 in eight bits
