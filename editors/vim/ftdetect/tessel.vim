" tessel scripts: *.tsl
autocmd BufNewFile,BufRead *.tsl setfiletype tessel
