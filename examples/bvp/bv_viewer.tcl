#!/usr/bin/env tclsh
# Viewer for the tables of the batch programs:
#   bv_viewer.tcl FILE i   interval histogram of run_spikes (bin centre, relative frequency)
#   bv_viewer.tcl FILE d   section points of run_section (two components, crossing time)
#   bv_viewer.tcl FILE c   correlation sums of run_section's dimout.dat (ln r, ln C, slope)
# Draws FILE.png with gnuplot when it is installed; otherwise prints a one-line summary.

proc usage {} {
    puts stderr "usage: bv_viewer.tcl FILE i|d|c"
    exit 1
}

# Rows of numbers; comment lines start with '#'.
proc read_rows {file} {
    set f [open $file r]
    set rows {}
    while {[gets $f line] >= 0} {
        set line [string trim $line]
        if {$line eq "" || [string index $line 0] eq "#"} continue
        lappend rows [regexp -all -inline {\S+} $line]
    }
    close $f
    return $rows
}

proc summary {file rows} {
    set text "$file: [llength $rows] rows"
    if {[llength $rows] > 0} {
        set ncol [llength [lindex $rows 0]]
        for {set c 0} {$c < $ncol} {incr c} {
            set lo Inf
            set hi -Inf
            foreach row $rows {
                set x [lindex $row $c]
                if {![string is double -strict $x]} continue
                if {$x < $lo} {set lo $x}
                if {$x > $hi} {set hi $x}
            }
            append text ", column [expr {$c + 1}] $lo ... $hi"
        }
    }
    return $text
}

# A gnuplot string literal: single quotes, an embedded quote doubled.
proc gp_quote {s} {
    return "'[string map {' ''} $s]'"
}

proc plot_commands {file mode} {
    set data [gp_quote $file]
    set png [gp_quote "$file.png"]
    set head "set terminal png size 900,600\nset output $png\nset grid\n"
    switch -- $mode {
        i {
            return "${head}set title 'Inter-spike intervals'\nset xlabel 'interval'\nset ylabel 'relative frequency'\nset yrange \[0:*\]\nset style fill solid 0.5\nplot $data using 1:2 with boxes notitle\n"
        }
        d {
            return "${head}set title 'Poincare section x = 0'\nset xlabel 'first column'\nset ylabel 'second column'\nplot $data using 1:2 with points pt 7 ps 0.6 notitle\n"
        }
        c {
            return "${head}set title 'Correlation sums'\nset xlabel 'ln r'\nset ylabel 'ln C(r)'\nset y2label 'local slope'\nset y2tics\nset ytics nomirror\nplot $data using 1:2 with linespoints title 'ln C(r)', $data using 1:3 axes x1y2 with linespoints title 'slope'\n"
        }
    }
}

if {[llength $argv] != 2} usage
lassign $argv file mode
if {$mode ni {i d c}} usage
if {[catch {read_rows $file} rows]} {
    puts stderr "bv_viewer.tcl: $rows"
    exit 1
}
if {[auto_execok gnuplot] eq "" || [llength $rows] == 0} {
    puts [summary $file $rows]
    exit 0
}
if {[catch {exec gnuplot << [plot_commands $file $mode] 2>@ stderr} err]} {
    puts stderr "bv_viewer.tcl: gnuplot: $err"
    puts [summary $file $rows]
    exit 1
}
puts "bv_viewer.tcl: wrote $file.png"
