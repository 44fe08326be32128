" vorn protocol models
autocmd BufRead,BufNewFile *.vorn setfiletype vorn
