# Writes Tavrin's manual page, tavrin.1, from the program's own --help:
#
#   cmake -DTAVRIN=<program> -DOUT=<tavrin.1> -DVERSION=<x.y.z> [-DTIMEOUT=<seconds>]
#         -P GenerateManPage.cmake
#
# The help is read the way Qt's QCommandLineParser prints it:
#
#   Usage: <program> <arguments>      more usage lines may follow, indented
#   <paragraphs of description>
#   <Heading>:                        Options:, Arguments:, Commands:, Examples: ...
#     <term>  <description>           a description wraps onto lines indented
#                                     past its term, or starts on the next line
#     <a line with no description>    kept as it is (an example, say)
#
# Each heading becomes a section of the page (Options: gives OPTIONS). EXIT
# STATUS and FILES are added below unless the help has sections of its own for
# them.
#
# A program that prints no help (one that fails, prints nothing, has no usage
# line, or opens its window instead and is stopped after TIMEOUT seconds, 20
# by default) gets the built-in help text below instead: the build never fails
# for want of a manual page. The built-in text is the program's --help word
# for word, the program named tavrin (the command line's tests compare them).

cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED OUT OR NOT DEFINED VERSION)
  message(FATAL_ERROR "usage: cmake -DTAVRIN=<program> -DOUT=<file> -DVERSION=<version> "
                      "[-DTIMEOUT=<seconds>] -P GenerateManPage.cmake")
endif()
if(NOT DEFINED TIMEOUT)
  set(TIMEOUT 20)
endif()

set(kName [=[tavrin \- hide, randomize and restore the potential ratings of a league's players]=])

set(kBuiltInHelp [=[
Usage: tavrin [options] [LEAGUE.lge]
       tavrin [options] hide --years Y LEAGUE.lge
       tavrin [options] randomize [--seed N] LEAGUE.lge
       tavrin [options] restore [--from FILE] LEAGUE.lge
       tavrin [options] undo [--to N] LEAGUE.lge
       tavrin [options] history [--verbose] LEAGUE.lge
       tavrin [options] show [--csv] LEAGUE.lge
Tavrin changes the eight potential ratings of a league's players: it hides
them, randomizes them and brings them back. With no command it opens its
window. With a command it runs without a window and exits with a status a
script can test; results go to standard output, messages to standard
error, one line each.

Every run starts from the players' true potentials, which LEAGUE.pot beside
the league keeps, and every file a run replaces is kept in the league's
history, LEAGUE.history/. The player file (LEAGUE.pyr) and LEAGUE.pot are
replaced together and all at once: if anything goes wrong, the old files
stay as they were.

Commands:
  hide --years Y LEAGUE.lge
      Sets every potential to 0 for the players up to the experience limit
      Y: rookies, 1 to 8 (years and less), or all.
      Example: tavrin hide --years rookies Demo.lge
  randomize [--seed N] LEAGUE.lge
      Moves each potential of every player with fewer than 7 years by a
      random amount that shrinks with experience, keeping it above the
      player's current rating and at most 99.
      Example: tavrin randomize --seed 7 Demo.lge
  restore [--from FILE] LEAGUE.lge
      Brings back the players' true potentials, saved in LEAGUE.pot.
      Example: tavrin restore Demo.lge
  undo [--to N] LEAGUE.lge
      Brings back the player file and LEAGUE.pot as they were before the
      last run, or before run N of the history. The undo is a run too, kept
      in the history, so it can be undone in turn.
      Example: tavrin undo --to 3 Demo.lge
  history [--verbose] LEAGUE.lge
      Lists the runs the league's history keeps, oldest first: number,
      time, operation, players changed, what the run said it did, and the
      files it kept. With --verbose, also each player whose potentials the
      run changed.
      Example: tavrin history --verbose Demo.lge
  show [--csv] LEAGUE.lge
      Lists the league's players (identity, names, position, years, the
      eight current ratings, the eight potentials, and whether those are
      true or Tavrin's: hidden or randomized), and lists the files the
      league's history keeps.
      Example: tavrin show --csv Demo.lge > players.csv

Options:
  -h, --help     Displays this help.
  -v, --version  Displays the version.
  --years <Y>    The experience limit of hide: rookies, 1 to 8, or all.
  --seed <N>     Seeds the random draws of randomize with N: the same league
                 and seed always give the same player file.
  --from <FILE>  Restores from FILE, a saved-potentials file kept in the
                 league's history, instead of LEAGUE.pot.
  --to <N>       With undo: brings back the files as they were before run N of
                 the league's history (tavrin history lists the runs), instead
                 of before the last run.
  --csv          Writes the players of show as comma-separated values, and
                 nothing else, to standard output; the rest of the report goes
                 to standard error.
  --dry-run      Computes everything and writes nothing (no player file, no
                 LEAGUE.pot, no history); prints how many players would change.
  --verbose      Prints one line for each player whose potentials change (or,
                 with --dry-run, would): slot, identity, names, years, and the
                 eight potentials before -> after. With history, those of each
                 run under it.

Examples:
  tavrin hide --years 3 --dry-run --verbose Demo.lge
  tavrin randomize --seed 7 Demo.lge
  tavrin restore --from "Demo.history/0002 2026-12-05T21-48-50Z before Randomize.pot" Demo.lge
  tavrin history Demo.lge
  tavrin undo Demo.lge
  tavrin show Demo.lge

Exit status:
  0  Done.
  1  Refused: the input cannot be used (a missing or unreadable league, a
     league of the L03 format, nothing saved to restore, nothing to undo or
     no run N in the history, a file in use by another run, a league that
     changed while Tavrin saved it). Nothing was changed. The message
     names the file and the problem.
  2  Usage error: the command line was not understood. Nothing was done.
  3  Failed part-way: something went wrong after the run had started. The
     message names the step. The league's files are as they were.
]=])

set(kExitStatus [=[.SH EXIT STATUS
.TP
.B 0
Done.
.TP
.B 1
Refused: the input cannot be used (a missing or unreadable league, nothing
saved to restore, a run the window would ask about, without \fB\-\-force\fR).
Nothing was changed. The message names the file and the problem.
.TP
.B 2
Usage error: the command line was not understood. Nothing was done.
.TP
.B 3
Failed part-way: something went wrong after the run had started. The message
names the step. The player file is either as it was or completely written.
]=])

set(kFiles [=[.SH FILES
.TP
.IR X .pot
Beside the league file \fIX\fR.lge: the players as they were before the last
Hide or Randomize run. Restore brings their potentials back.
.TP
.IR X .history/
Beside the league file: each saved-potentials file and player file that a run
replaced, named after the time of the run and what it was. The last 20 runs
are kept.
.TP
.B Temp.mdb
The working database, rebuilt by every run: in the program's folder when that
folder is writable, otherwise in the user's data folder.
]=])

# Ask the program. Qt needs no display for --help, and none is there during a
# build.
set(help "")
if(NOT TAVRIN OR NOT EXISTS "${TAVRIN}")
  set(why "there is no program '${TAVRIN}'")
else()
  set(ENV{QT_QPA_PLATFORM} offscreen)
  execute_process(COMMAND "${TAVRIN}" --help
                  TIMEOUT ${TIMEOUT}
                  RESULT_VARIABLE result
                  OUTPUT_VARIABLE help
                  ERROR_QUIET)
  if(NOT result STREQUAL "0")
    set(why "'${TAVRIN} --help' ended with: ${result}")
    set(help "")
  elseif(NOT help MATCHES "(^|\n)Usage: ")
    set(why "'${TAVRIN} --help' printed no usage line")
    set(help "")
  endif()
endif()
set(source "'tavrin --help'")
if(help STREQUAL "")
  message(STATUS "Manual page: ${why}; it uses the built-in help text")
  set(help "${kBuiltInHelp}")
  set(source "the built-in help text")
endif()

# The help becomes a list of lines. CMake lists split at ';' and treat '['
# ']' and '\' specially, so those characters stand in as control characters
# until a line is written out.
string(ASCII 1 kSemicolon)
string(ASCII 2 kOpen)
string(ASCII 3 kClose)
string(ASCII 4 kBackslash)
string(REPLACE "\\" "${kBackslash}" help "${help}")
string(REPLACE ";" "${kSemicolon}" help "${help}")
string(REPLACE "[" "${kOpen}" help "${help}")
string(REPLACE "]" "${kClose}" help "${help}")
string(REPLACE "\r" "" help "${help}")
string(REPLACE "\t" "        " help "${help}")
string(REGEX REPLACE "\n+$" "" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

# roff_text(<var> <line>): one line of help as roff text.
function(roff_text var line)
  string(REPLACE "${kBackslash}" "\\e" line "${line}")
  string(REPLACE "-" "\\-" line "${line}")
  string(REPLACE "${kSemicolon}" ";" line "${line}")
  string(REPLACE "${kOpen}" "[" line "${line}")
  string(REPLACE "${kClose}" "]" line "${line}")
  # A line starting with . or ' would be a request.
  if(line MATCHES "^[.']")
    string(PREPEND line "\\&")
  endif()
  set(${var} "${line}" PARENT_SCOPE)
endfunction()

# roff_term(<var> <term>): an option or command in bold, its <placeholders>
# in italics.
function(roff_term var term)
  roff_text(term "${term}")
  string(REGEX REPLACE "<([^>]*)>" "\\\\fI\\1\\\\fB" term "${term}")
  set(${var} "\\fB${term}\\fR" PARENT_SCOPE)
endfunction()

# What is being read: the open item (a term with its description, at its
# indent), lines kept as they are, and whether the next text starts a new
# paragraph.
set(synopsis "")
set(in_usage FALSE)
set(body "")
set(section "DESCRIPTION")
set(section_body "")
set(has_exit_status FALSE)
set(has_files FALSE)
set(item_indent -1)
set(item_term "")
set(item_desc "")
set(verbatim "")
set(new_paragraph FALSE)

macro(flush_verbatim)
  if(NOT verbatim STREQUAL "")
    string(APPEND section_body ".PP\n.RS 4\n.nf\n${verbatim}.fi\n.RE\n")
    set(verbatim "")
    set(new_paragraph TRUE)
  endif()
endmacro()

# A term with no description is a line kept as it is.
macro(close_item)
  if(item_indent GREATER_EQUAL 0)
    if(item_desc STREQUAL "")
      roff_text(kept "${item_term}")
      string(APPEND verbatim "${kept}\n")
    else()
      flush_verbatim()
      roff_term(kept_term "${item_term}")
      roff_text(kept_desc "${item_desc}")
      string(APPEND section_body ".TP\n${kept_term}\n${kept_desc}\n")
      set(new_paragraph TRUE)
    endif()
    set(item_indent -1)
  endif()
endmacro()

macro(close_section)
  close_item()
  flush_verbatim()
  if(NOT section_body STREQUAL "")
    string(APPEND body ".SH ${section}\n${section_body}")
  endif()
  set(section_body "")
  set(new_paragraph FALSE)
endmacro()

foreach(line IN LISTS lines)
  string(REGEX REPLACE " +$" "" line "${line}")
  string(REGEX MATCH "^ +" indent "${line}")
  string(LENGTH "${indent}" indent)
  string(REGEX REPLACE "^ +" "" text "${line}")

  # Usage lines: the program's own path gives way to its name.
  if(line MATCHES "^Usage: +(.*)$" OR (in_usage AND indent GREATER 0))
    if(line MATCHES "^Usage: +(.*)$")
      set(text "${CMAKE_MATCH_1}")
    endif()
    string(REGEX MATCH "^[^ ]+ *(.*)$" program "${text}")
    roff_text(arguments "${CMAKE_MATCH_1}")
    if(NOT synopsis STREQUAL "")
      string(APPEND synopsis ".br\n")
    endif()
    string(STRIP "\\fBtavrin\\fR ${arguments}" usage)
    string(APPEND synopsis "${usage}\n")
    set(in_usage TRUE)
    continue()
  endif()
  set(in_usage FALSE)

  if(text STREQUAL "")
    close_item()
    flush_verbatim()
    set(new_paragraph TRUE)
  elseif(indent EQUAL 0 AND text MATCHES "^([A-Z][A-Za-z ]*):$")
    close_section()
    string(TOUPPER "${CMAKE_MATCH_1}" section)
    if(section MATCHES "^EXIT")
      set(has_exit_status TRUE)
    elseif(section STREQUAL "FILES")
      set(has_files TRUE)
    endif()
  elseif(indent EQUAL 0)
    close_item()
    flush_verbatim()
    if(new_paragraph AND NOT section_body STREQUAL "")
      string(APPEND section_body ".PP\n")
    endif()
    set(new_paragraph FALSE)
    roff_text(text "${text}")
    string(APPEND section_body "${text}\n")
  elseif(item_indent GREATER_EQUAL 0 AND indent GREATER item_indent)
    # More of the open item's description.
    if(item_desc STREQUAL "")
      set(item_desc "${text}")
    else()
      string(APPEND item_desc " ${text}")
    endif()
  else()
    close_item()
    # The term ends at the first gap of two spaces.
    string(FIND "${text}" "  " gap)
    if(gap GREATER 0)
      string(SUBSTRING "${text}" 0 ${gap} item_term)
      string(SUBSTRING "${text}" ${gap} -1 item_desc)
      string(REGEX REPLACE "^ +" "" item_desc "${item_desc}")
    else()
      set(item_term "${text}")
      set(item_desc "")
    endif()
    set(item_indent ${indent})
  endif()
endforeach()
close_section()

if(synopsis STREQUAL "")
  set(synopsis "\\fBtavrin\\fR [options]\n")
endif()

# The date of the page: SOURCE_DATE_EPOCH when set, so a rebuild gives the
# same page.
string(TIMESTAMP date "%Y-%m-%d" UTC)

set(page ".\\\" Written by GenerateManPage.cmake from ${source}.\n")
string(APPEND page ".TH TAVRIN 1 \"${date}\" \"Tavrin ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${kName}\n")
string(APPEND page ".SH SYNOPSIS\n${synopsis}")
string(APPEND page "${body}")
if(NOT has_exit_status)
  string(APPEND page "${kExitStatus}")
endif()
if(NOT has_files)
  string(APPEND page "${kFiles}")
endif()
file(WRITE "${OUT}" "${page}")
