/ echo-keypad.asm - Normal mode
/ Shows every key pressed on the Keypad (input device 0) on the ten-digit display
/ (output device 0): the digit keys as digits from the left, "-" as a minus, "+" as
/ a point, "/" as a colon, "x" as a blank; LF clears the display.
/ Open "Keypad" on input device 0 and "Display 10 Digit" on output device 0, RUN.
/ The display keeps what an earlier program left on it (Transfer does not reset it), so
/ the program clears it first.
/ Try it headless:
/   mira8-cli run --module keypad@0:1,2,3 --module tendigit@0 --json examples/echo-keypad.asm
/ (it waits for more keys for ever; the display's "text" starts with "123").
/
/ A key arrives as its key number (0 for "7", 8 for "1" ...), plus 16 when CTL is
/ held; TABLE turns it into the display's code for what is printed on the key.

START,  CLA
        TAD ON
        PUT 0                   / switch the display on; AC becomes 0
        TAD INI
        PUT 0                   / blank every cell, cursor on the left
        JMP I LOOPAT            / the key loop fills the next page
ON,     #D95                    / D10_ON
INI,    #D112                   / D10_INI
LOOPAT, WAITK

        _PAGEBREAK
WAITK,  SKI 0                   / has the keypad a key for us?
        JMP WAITK               / no: ask again
        GET 0                   / AC = the key number, and the keypad is told we took it
        AND MASK                / without the CTL bit
        TAD FIRST               / AC = where its code is in TABLE
        DCA PTR
        TAD I PTR               / AC = the code
        PUT 0                   / show it at the cursor; AC becomes 0
        JMP WAITK               / the display is always ready: on to the next key
MASK,   #D15
FIRST,  TABLE
PTR,    #D0

        _PAGEBREAK
TABLE,  #D7                     / key 0: "7"
        #D8                     / "8"
        #D9                     / "9"
        #D13                    / "x": a blank
        #D4                     / "4"
        #D5                     / "5"
        #D6                     / "6"
        #D11                    / "/": a colon
        #D1                     / "1"
        #D2                     / "2"
        #D3                     / "3"
        #D112                   / "LF": clear, cursor back to the left
        #D0                     / "0"
        #D12                    / "+": a point
        #D10                    / "-": a minus
        #D13                    / (no key 15)
