# default_profile.sh - sourced by the benchmark scripts: default_profile INTERVAL LOGMODE prints
# a profile of the default counter set as the standard set builds it on this machine (one axis
# per processor, then processes, threads, memory, virtual memory, disk space and drive time).

axis() { # name path inverse critical maximum
  printf 'BeginAxis\r\nName=%s\r\nDesc=\r\nMinValue=0.000000\r\nMaxValue=%s.000000\r\n' "$1" "$5"
  printf 'CriticalValue=%s.000000\r\nMultiplier=1.000000\r\nInverse=%s\r\nCounter=%s\r\nEndAxis\r\n\r\n' "$4" "$3" "$2"
}

default_profile() { # interval logmode
  local cpus i
  cpus=$(grep -c '^cpu[0-9]' /proc/stat)
  printf '\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\n'
  printf 'History=30\r\nInterval=%s\r\nLogMode=%s\r\nLogFormat=0\r\nLogFileSize=64\r\n\r\n' "$1" "$2"
  if [ "$cpus" -eq 1 ]; then
    axis '% CPU' '\Processor(0)\% Processor Time' 0 80 100
  else
    for ((i = 0; i < cpus; i++)); do axis "% CPU-$((i + 1))" "\\Processor($i)\\% Processor Time" 0 80 100; done
  fi
  axis '# Processes' '\Objects\Processes' 0 100 1000
  axis '# Threads' '\Objects\Threads' 0 800 1000
  axis '% Memory' '\Memory\% Committed Bytes In Use' 0 80 100
  axis '% Virtual Memory' '\Paging File(_Total)\% Usage' 0 50 100
  axis '% Disk Space Used' '\LogicalDisk(_Total)\% Free Space' 1 80 100
  axis '% Hard Drive Time' '\PhysicalDisk(_Total)\% Disk Time' 0 80 100
}
