// mira8-cli: the emulator without windows, for scripts, tests and autograding.
#include <iostream>
#include <string>

#include "asm_commands.h"
#include "commands.h"

namespace mira::cli {

void printUsage(std::ostream& out) {
    out << R"(usage: mira8-cli COMMAND [options]

  run [options] FILE        run a program until it halts and print the final state
      FILE is a word file: whitespace-separated words (decimal, 0x hex, 0o octal),
      '#' comments, '@N' sets the address of the next word. A FILE ending in .asm is
      assembled and transferred to memory first, and runs from address 0.
      --mode normal|wif     operating mode (default normal)
      --zero-page           zero page mode on
      --reset-t1            output reset pulse at T1/T2 (default T13/T14)
      --pc N                start address (default 0)
      --sr N                switch register value (default 255)
      --max-instructions N  stop after N instructions (default 1000000)
      --clock-states N      run exactly N clock states, then stop
      --break A             breakpoint at address A (repeatable)
      --in D=B1,B2,...      scripted input device D (0/1) offering these bytes
      --out D               recording output device D (0/1)
      --serial-in B1,B2,... WIF: the basic serial port offers these bytes
      --trace               one line per instruction on stderr: address word ac c
                            (WIF addresses as 4 hex digits)
      --json                print the final state as one JSON object
      --save-state F        at the end of the run, whatever stopped it, write the whole
                            machine state (machine, modules, scripts) to F (.m8s)
      --load-state F        start from the machine state in F; give FILE, --module,
                            --in, --out and --serial-in as in the run that saved it
                            (the state wins); --clock-states counts from there
      --vcd FILE            write the signals of every clock state to FILE as a
                            Value Change Dump (1 us = one clock state; scopes cpu,
                            panel, devices, modules); the run takes the clock-state path
      --vcd-from N          first clock state to write (default 0, the run's first)
      --vcd-states M        write at most M clock states (default all)
      --vcd-signals LIST    comma-separated signals, scope.signal names or scopes
                            (default all): T,cycle,AC,AC_ser,panel,...
      --answer yes|no|cancel   answer to the assembler's questions (default no)
      --compiler-data FILE  instruction tables to assemble with (default: cmplr.dat)
      --module KIND@DEV[:ARG]  a device module, opened before the run as the Modules
                            menu opens it (repeatable; one of each kind; DEV 0 or 1 is
                            the input or output device); --json reports it under "modules":
                              led@D, decled@D  octal / decimal LED display
                              printer@D   printer; reports the roll, the line being
                                          collected and the print state
                              melody@D    melody player; records note events with their
                                          virtual times instead of sounding them
                              punch@D[:FILE.ptp[:FROM-TO]]  paper tape punch with a
                                          fresh tape fitted; reports the last 65536 rows
                                          and rows_total; with FILE, after the run the
                                          tape is saved as Save Tape does: the start
                                          marker, FROM, then rows FROM..TO (default all,
                                          rows counted from 0)
                              reader:FILE.ptp  feed a paper tape through the loader
                                          before the run (150 ms of virtual time per
                                          row); PC is left after the last byte unless
                                          --pc is given
                              magtape@I,O[:FILE.mtf][:record|play]  cassette on input
                                          device I and output device O with FILE (else
                                          a new tape) in and the key down; the tape is
                                          not written back to FILE
                              keypad@D:KEYS   Keypad on input device D; KEYS by caption
                                          0-9 x / LF + -, ^ in front holds CTL (^LF)
                              keypad2@D:KEYS[:FILE.kpf]  KeyPad 2; keys by the captions
                                          of its table (FILE's, else the default), or #N
                              ascii@D:KEYS  ASCII keyboard; keys as [shift+][ctrl+][alt+]KEY
                                          with KEY a letter, a digit, space, enter, tab,
                                          esc, f1..f12, comma, slash ... (US positions)
                                          KEYS are comma-separated; the first key comes
                                          1000 us after the start, each next one 1000 us
                                          after the program took the one before; a key
                                          that gives nothing does not wait
                              tendigit@D  ten-digit display on output device D
                              alpha@D     two-line alpha display on output device D
                              switches:MASK  external switches with data mask 0..255; when
                                          --sr is not 255 the switch register question
                                          is answered by --answer
      Core timers run on a virtual clock that advances 1 microsecond per clock state.
      Exit status: 0 halted, 3 breakpoint/limit/clock states, 1 bad input, 2 bad usage.

  asm [options] FILE.asm    assemble a source file and print its listing
      --mode normal|wif     dialect / operating mode (default normal)
      --zero-page           zero page mode on
      --reset-t1            output reset mode T1 (WIF: BO) instead of T13 (AO)
      --answer yes|no|cancel  how queries are answered (default no); echoed to stderr
      --words               print a word file (for run) instead of the listing
      --listing FILE.lst    also write the full listing: each source line with its line
                            number, address and word(s), then the symbol table ("Symbols")
                            by name and by value with the lines using each symbol
      --radix dec|hex|737|377  radix of the --listing file (default 737 in Normal, dec
                            in WIF; WIF takes dec or hex)
      --max-errors N        print at most N errors (default 0: all of them)
      --compiler-data FILE  instruction tables (default: cmplr.dat in the data directory,
                            beside the executable, or in ../share/mira8)
      Listing: address (decimal), word (hex), source text per word; then "Words: N".
      Errors: every one as FILE:LINE:COL: MESSAGE on stderr (COL from 1, in bytes),
      exit status 1; a query answered Cancel: FILE:LINE: assembly cancelled.

  disasm [options] FILE     disassemble a word file
      --mode normal|wif     operating mode (default normal)
      --radix dec|hex|737|377  operand radix (default 737 in Normal, dec in WIF)
      --compiler-data FILE  instruction tables, as for asm

  container decode FILE     print the lines of a scrambled data file
  container encode IN OUT   write the text lines of IN as a scrambled data file OUT

  board --port PORT [options] COMMAND [ARGS]
                            talk to a MIRA-8 board (or mira8-boardsim) over the serial
                            link: query, directory, read-program, write-program,
                            read-memory, write-memory, erase-memory, delete, read-options,
                            write-options, upgrade-driver; see board --help

  bench [--mode normal|wif] [--seconds S] [--engine instruction|clock] [--program P]
                            run a fixed loop headless for about S seconds of processor
                            time (default 2) in the given mode, else in each mode; the
                            loop P: isz (default), tad, jms, poll in Normal mode,
                            inc (default), call, table, poll in WIF mode; the
                            clock-state engine with --engine clock or MIRA8_ENGINE=clock.
                            Prints clock-states/s (stepped) on the clock-state engine
                            or virtual-clock-states/s on the instruction engine, which
                            steps no states but counts the machine time (1 us a state)
                            its whole instructions take; then instructions/s
)";
}

}  // namespace mira::cli

int main(int argc, char** argv) {
    using namespace mira::cli;
    if (argc < 2) {
        printUsage(std::cerr);
        return kExitUsage;
    }
    const std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    if (command == "run") return runCommand(args, std::cout, std::cerr);
    if (command == "asm") return asmCommand(args, std::cout, std::cerr);
    if (command == "disasm") return disasmCommand(args, std::cout, std::cerr);
    if (command == "container") return containerCommand(args, std::cout, std::cerr);
    if (command == "bench") return benchCommand(args, std::cout, std::cerr);
    if (command == "board") return boardCommand(args, std::cout, std::cerr);
    if (command == "--help" || command == "-h" || command == "help") {
        printUsage(std::cout);
        return kExitOk;
    }
    std::cerr << "mira8-cli: unknown command " << command << "\n";
    printUsage(std::cerr);
    return kExitUsage;
}
