# Bash completion for tagwright, installed as bash-completion/completions/tagwright.
#
# Options are single letters with their value in the same argument (-s6, -tTITLE,
# -oOUT.gba), so a word starting with -s or -e completes to the six save types and
# one starting with -o to file names after the -o. After --, and for every other
# word, file names.

_tagwright() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
        fi
    done
    case $cur in
        --*)
            mapfile -t COMPREPLY < <(compgen -W '--in-place --replace --fix --info --json
                --help --version --' -- "$cur")
            ;;
        -s* | -e*)
            local letter=${cur:0:2}
            mapfile -t COMPREPLY < <(compgen -W "${letter}1 ${letter}2 ${letter}3 ${letter}4
                ${letter}5 ${letter}6" -- "$cur")
            ;;
        -o?*)
            mapfile -t COMPREPLY < <(compgen -f -P -o -- "${cur#-o}")
            ;;
        -*)
            mapfile -t COMPREPLY < <(compgen -W '-s -e -p -t -c -m -r -o -v --in-place
                --replace --fix --info --json --help --version --' -- "$cur")
            ;;
        *)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            ;;
    esac
}

complete -o filenames -F _tagwright tagwright
